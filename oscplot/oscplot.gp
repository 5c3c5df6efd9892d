# oscplot's gnuplot program, the same for every figure. oscplot writes before it, on gnuplot's
# standard input, only numbers, fixed words and datablocks of its own:
#   layout   "png" (one file: position and velocity above, phase portrait below), "compare"
#            (several files: position, velocity, phase portraits) or "text" (position and phase
#            portrait in the terminal)
#   files    the number of files; file i was thinned into $ti ("t x v") and $pi ("x v"), and
#            line i of $names is its name, hex-encoded, so that no name is ever program text
#   titled   1 when line files + 1 of $names is a title for the figure (--titulo), hex-encoded too
#   columns, lines   the terminal's size, for "text"
#   tables   1 to write every plot's points as a table instead of drawing it
# Everything gnuplot writes, the PNG image, the text drawing or the tables, goes to its standard
# output.
set encoding utf8
tfile(i) = sprintf("$t%d", i)
pfile(i) = sprintf("$p%d", i)

# The file names, decoded byte by byte.
array hex[files + titled]
array name[files + titled]
k = 0
stats $names using (k = k + 1, hex[k] = strcol(1), 0) nooutput
digit(c) = strstrt("0123456789abcdef", c) - 1
do for [i = 1:files + titled] {
  name[i] = ""
  do for [j = 1:strlen(hex[i]) - 1:2] {
    name[i] = name[i] . sprintf("%c", 16 * digit(hex[i][j:j]) + digit(hex[i][j + 1:j + 1]))
  }
}

# The span of time, position and velocity over every file; the thinned rows keep the extremes.
tmin = xmin = vmin = 1e300; tmax = xmax = vmax = -1e300
do for [i = 1:files] {
  stats tfile(i) using 1 nooutput
  tmin = (STATS_min < tmin ? STATS_min : tmin); tmax = (STATS_max > tmax ? STATS_max : tmax)
  stats tfile(i) using 2 nooutput
  xmin = (STATS_min < xmin ? STATS_min : xmin); xmax = (STATS_max > xmax ? STATS_max : xmax)
  stats tfile(i) using 3 nooutput
  vmin = (STATS_min < vmin ? STATS_min : vmin); vmax = (STATS_max > vmax ? STATS_max : vmax)
}

# A tic step of 1, 2 or 5 times a power of ten, at least r, so that labels never run into
# each other; and the next one up.
nice(r) = (r <= 0 ? 1 : (e = 10**floor(log10(r)), f = r / e, (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * e))
bigger(s) = nice(s * 1.0001)

# Every plot goes through draw: the command in `drawing`, drawn, or written as a table by the
# very same text.
draw = 'if (tables) { set table; eval drawing; unset table } else { eval drawing }'

if (layout eq "text") {
  if (tables) { set terminal unknown } else { set terminal dumb size columns, lines nofeed }
  set output
  # Each panel gets half the lines: a title, the plot between its borders, a line of tic
  # labels, and below the last panel the key. The tic steps keep at least two lines between
  # labels up the side and a label's width plus four blanks between labels along the bottom.
  unset grid
  set format x "%g"; set format y "%g"
  # A quantity that never changes (a run at rest) gets a span around its value.
  pad(a) = (a == 0 ? 1 : abs(a) / 10)
  if (tmax <= tmin) { d = pad(tmin); tmin = tmin - d; tmax = tmax + d }
  if (xmax <= xmin) { d = pad(xmin); xmin = xmin - d; xmax = xmax + d }
  if (vmax <= vmin) { d = pad(vmin); vmin = vmin - d; vmax = vmax + d }
  panel = lines / 2
  # The key, below the last panel, takes a line for each row of names that fit across.
  longest = 0
  do for [i = 1:files] { longest = (strlen(name[i]) > longest ? strlen(name[i]) : longest) }
  across = int(columns / (longest + 12)); across = (across < 1 ? 1 : across)
  key_lines = int((files + across - 1) / across)
  rows_of(last) = panel - 4 - (last ? key_lines : 0)
  # Steps for [lo:hi] on an axis of n characters: labels at least `gap` apart.
  fits(lo, hi, s, n, gap) = (ceil(hi / s) - floor(lo / s)) * gap <= n
  width(lo, hi, s) = (a = strlen(sprintf("%g", floor(lo / s) * s)), b = strlen(sprintf("%g", ceil(hi / s) * s)), \
                      c = strlen(sprintf("%g", floor(lo / s) * s + s)), max3(a, b, c))
  max3(a, b, c) = (a > b ? (a > c ? a : c) : (b > c ? b : c))
  set key below horizontal noenhanced width 2
  set multiplot layout 2,1
  # Position against time.
  rows = rows_of(0)
  sy = nice((xmax - xmin) * 2 / (rows + 1)); while (!fits(xmin, xmax, sy, rows + 1, 2)) { sy = bigger(sy) }
  set yrange [floor(xmin / sy) * sy : ceil(xmax / sy) * sy]; set ytics sy
  ylabels = width(xmin, xmax, sy)
  set lmargin ylabels + 2; set rmargin 3; set tmargin 1; set bmargin 2
  plotwidth = columns - ylabels - 5
  sx = nice((tmax - tmin) * 4 / plotwidth); while (!fits(tmin, tmax, sx, plotwidth, width(tmin, tmax, sx) + 4)) { sx = bigger(sx) }
  set xrange [floor(tmin / sx) * sx : ceil(tmax / sx) * sx]; set xtics sx
  set title "posição x contra o tempo t"
  unset key
  drawing = 'plot for [i = 1:files] tfile(i) using 1:2 with lines linetype i notitle'
  eval draw
  # The phase portrait, and below it the key.
  rows = rows_of(1)
  sy = nice((vmax - vmin) * 2 / (rows + 1)); while (!fits(vmin, vmax, sy, rows + 1, 2)) { sy = bigger(sy) }
  set yrange [floor(vmin / sy) * sy : ceil(vmax / sy) * sy]; set ytics sy
  ylabels = width(vmin, vmax, sy)
  set lmargin ylabels + 2; set bmargin 2 + key_lines + (key_lines > 1 ? 1 : 0)
  plotwidth = columns - ylabels - 5
  sx = nice((xmax - xmin) * 4 / plotwidth); while (!fits(xmin, xmax, sx, plotwidth, width(xmin, xmax, sx) + 4)) { sx = bigger(sx) }
  set xrange [floor(xmin / sx) * sx : ceil(xmax / sx) * sx]; set xtics sx
  set title (columns < 60 ? "retrato de fase: v contra x" : "retrato de fase: velocidade v contra a posição x")
  set key below horizontal noenhanced width 2
  drawing = 'plot for [i = 1:files] pfile(i) using 1:2 with lines linetype i title name[i]'
  eval draw
  unset multiplot
  exit
}

if (tables) {
  set terminal unknown
} else {
  set terminal pngcairo size 900,(layout eq "png" ? 1000 : 1400) rounded font "DejaVu Sans,11"
}
set output
set grid
if (layout eq "png") {
  set multiplot layout 2,1 title (titled ? name[2] . "\n" . name[1] : name[1]) noenhanced
  set key below horizontal
  set xlabel "tempo"
  # Position on the left axis and velocity on the right, each on a scale of its own: with a
  # stiff spring v is w0 times x.
  set ylabel "posição" textcolor linetype 1
  set y2label "velocidade" textcolor linetype 2
  set ytics nomirror
  set y2tics
  drawing = 'plot tfile(1) using 1:2 with lines linewidth 2 title "posição", tfile(1) using 1:3 axes x1y2 with lines linewidth 2 title "velocidade"'
  eval draw
  unset y2tics; unset y2label; set ytics mirror
} else {
  if (titled) { set multiplot layout 3,1 title name[files + 1] noenhanced } else { set multiplot layout 3,1 }
  set key below horizontal noenhanced
  set xlabel "tempo"
  set ylabel "posição"
  drawing = 'plot for [i = 1:files] tfile(i) using 1:2 with lines linewidth 2 linetype i title name[i]'
  eval draw
  set ylabel "velocidade"
  drawing = 'plot for [i = 1:files] tfile(i) using 1:3 with lines linewidth 2 linetype i title name[i]'
  eval draw
}
# The phase portrait in a square panel, each axis with units of its own.
set xlabel "posição"
set ylabel "velocidade" textcolor default
set size ratio 1
set xtics nice((xmax - xmin) / 5)
set ytics nice((vmax - vmin) / 5)
if (layout eq "png") {
  drawing = 'plot pfile(1) using 1:2 with lines linewidth 2 notitle'
} else {
  drawing = 'plot for [i = 1:files] pfile(i) using 1:2 with lines linewidth 2 linetype i title ""'
}
eval draw
unset multiplot
