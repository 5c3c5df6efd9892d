# oscplot's gnuplot program, the same for every figure. oscplot writes before it, on gnuplot's
# standard input, only numbers, fixed words and datablocks of its own:
#   layout   "png" (one file: position and velocity above, phase portrait below), "compare"
#            (several files: position, velocity, phase portraits) or "text" (position and phase
#            portrait in the terminal)
#   files    the number of files; file i was thinned into $ti ("t x v") and $pi ("x v"), and
#            line i of $names is what the key calls it (its name, and the program that writes a
#            file of that name), hex-encoded, so that no name is ever program text
#   envelopeI  for file I, 0 when $tI is its line, or its count of oscillations when they are
#            too many to draw one by one and $tI is its envelope: a run of rows holding the
#            lowest x and v of each span of time, and a run holding the highest; moreI 1 where
#            the run holds more oscillations than that count, whose last swings grew too small
#            to count
#   titled   1 when line files + 1 of $names is a title for the figure (--titulo), hex-encoded too
#   windowed 1 when only the rows of a window of time are drawn, which $window says in words
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
# very same text and followed by what its panel shows beside its points: its title and note,
# each axis with its label and the range it was drawn with, the margin its key took, and the
# plot command gnuplot ran (measure.gp).
stacked = 1
draw = 'if (tables) { set table; eval drawing; unset table; eval measured; eval report } else { eval drawing }'
report = 'print sprintf("# painel: %s", ptitle); if (pnote ne "") { print "# nota: " . pnote }; \
          print sprintf("# eixo x: %s, de %g a %g\n# eixo y: %s, de %g a %g", xl, \
            GPVAL_X_MIN, GPVAL_X_MAX, yl, GPVAL_Y_MIN, GPVAL_Y_MAX); \
          if (y2l ne "") { \
            print sprintf("# eixo y2: %s, de %g a %g", y2l, GPVAL_Y2_MIN, GPVAL_Y2_MAX) \
          }; \
          print "# legenda: " . key_place; print "# comando: " . GPVAL_LAST_PLOT'
# A panel's title ptitle and a line of note under it pnote, axis labels xl, yl and y2l ("" for
# none), and its key in the margin key_at ("tmargin" above the panel, "bmargin" below it, ""
# for none).
panel = 'set title (pnote eq "" ? ptitle : ptitle eq "" ? pnote : ptitle . "\n" . pnote) \
           noenhanced; \
         set xlabel xl; set ylabel yl; set y2label y2l; \
         if (key_at eq "") { unset key } else { set key @key_at center horizontal noenhanced }'
pnote = ""; y2l = ""
if (tables) { set print "-" }
envelope(i) = value(sprintf("envelope%d", i))
enveloped = 0
do for [i = 1:files] { enveloped = enveloped + (envelope(i) > 0) }
more(i) = value(sprintf("more%d", i))
# What the title says of a file's envelope, and of several files' envelopes.
counted(i) = sprintf("%s%d oscilações", more(i) ? "mais de " : "", envelope(i))
envelope_note(i) = "envolvente: " . counted(i) . ", demasiadas para se verem uma a uma; " . \
                   "--janela INÍCIO:FIM mostra algumas"
envelopes_note = "envolvente dos ficheiros de muitas oscilações; --janela INÍCIO:FIM mostra algumas"

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
  panel_lines = lines / 2
  # The key, below the last panel, takes a line for each row of names that fit across.
  longest = 0
  do for [i = 1:files] { longest = (strlen(name[i]) > longest ? strlen(name[i]) : longest) }
  across = int(columns / (longest + 12)); across = (across < 1 ? 1 : across)
  key_lines = int((files + across - 1) / across)
  rows_of(last) = panel_lines - 4 - (last ? key_lines : 0)
  # Steps for [lo:hi] on an axis of n characters: labels at least `gap` apart.
  fits(lo, hi, s, n, gap) = (ceil(hi / s) - floor(lo / s)) * gap <= n
  width(lo, hi, s) = (a = strlen(sprintf("%g", floor(lo / s) * s)), b = strlen(sprintf("%g", ceil(hi / s) * s)), \
                      c = strlen(sprintf("%g", floor(lo / s) * s + s)), max3(a, b, c))
  max3(a, b, c) = (a > b ? (a > c ? a : c) : (b > c ? b : c))
  xl = ""; yl = ""
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
  ptitle = "posição x contra o tempo t" . (enveloped > 0 ? ": envolvente" : ""); key_at = ""
  eval panel
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
  ptitle = (columns < 60 ? "retrato de fase: v contra x" \
                          : "retrato de fase: velocidade v contra a posição x")
  key_at = "bmargin"
  eval panel
  set key width 2
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
# The least and the most of a span and zero.
lo0(a) = (a < 0 ? a : 0)
hi0(a) = (a > 0 ? a : 0)
xl = "tempo t"
# The figure's title, a line each: the text of --titulo, for one file what the key calls it
# and what its first panel draws, and the window of time drawn.
array heading[4]
headings = 0
if (titled) { headings = 1; heading[1] = name[files + 1] }
if (layout eq "png") {
  heading[headings + 1] = name[1]
  heading[headings + 2] = "posição x e velocidade v contra o tempo t"
  headings = headings + 2
}
if (windowed) { headings = headings + 1; heading[headings] = "só as linhas com " . $window[1] }
if (headings > 0) {
  figure_title = heading[1]
  do for [i = 2:headings] { figure_title = figure_title . "\n" . heading[i] }
  set multiplot layout (layout eq "png" ? 2 : 3),1 title figure_title noenhanced
} else {
  set multiplot layout 3,1
}
if (layout eq "png") {
  # Position on the left axis and velocity on the right, each on a scale of its own (with a
  # stiff spring v is w0 times x), their zeros at one height: each axis counts as many tic
  # steps below zero, and as many above, as the other, so that their tics share the grid. The
  # steps leave a fiftieth of the span beyond each extreme: a curve whose extreme falls on a
  # tic does not lie on the frame.
  xspan = hi0(xmax) - lo0(xmin); vspan = hi0(vmax) - lo0(vmin)
  sx = nice(xspan / 5); sv = nice(vspan / 5)
  room(a, span, s) = ceil((a + span / 50) / s)
  below = room(-lo0(xmin), xspan, sx); b = room(-lo0(vmin), vspan, sv); below = (b > below ? b : below)
  above = room(hi0(xmax), xspan, sx); a = room(hi0(vmax), vspan, sv); above = (a > above ? a : above)
  if (below + above == 0) { below = 1; above = 1 }
  steps = below + above
  if (steps < 1e308 / sx && steps < 1e308 / sv) {
    set yrange [-below * sx : above * sx]; set ytics sx
    set y2range [-below * sv : above * sv]; set y2tics sv
  } else {
    set y2tics
  }
  set ytics nomirror
  ptitle = ""
  pnote = (envelope(1) > 0 ? envelope_note(1) : "")
  yl = "posição x"; y2l = "velocidade v"; key_at = "tmargin"
  eval panel
  set ylabel textcolor linetype 1
  set y2label textcolor linetype 2
  # An envelope of v dashed: at w0 = 1 it lies on that of x. The dash goes into the command
  # itself, which a table reports.
  mark = (envelope(1) > 0 ? ", envolvente" : "")
  dashes = (envelope(1) > 0 ? 2 : 1)
  drawing = sprintf('plot tfile(1) using 1:2 with lines linewidth 2 title "posição x" . mark, \
                          tfile(1) using 1:3 axes x1y2 with lines linewidth 2 dashtype %d \
                            title "velocidade v" . mark', dashes)
  eval draw
  unset y2tics; set ytics mirror; set ylabel textcolor default
  y2l = ""
} else {
  # One key, above the first panel; each file keeps its colour in every panel.
  label(i) = name[i] . (envelope(i) > 0 ? ": envolvente de " . counted(i) : "")
  # Room beyond each curve's extremes, which autoscale would put on the frame at a tic.
  set offsets 0, 0, graph 0.04, graph 0.04
  pnote = (enveloped > 0 ? envelopes_note : "")
  ptitle = ""; yl = "posição x"; key_at = "tmargin"
  eval panel
  drawing = 'plot for [i = 1:files] tfile(i) using 1:2 with lines linewidth 2 linetype i \
               title label(i)'
  eval draw
  ptitle = ""; yl = "velocidade v"; key_at = ""
  eval panel
  drawing = 'plot for [i = 1:files] tfile(i) using 1:3 with lines linewidth 2 linetype i notitle'
  eval draw
  set offsets 0, 0, 0, 0
}
# The phase portrait in a square panel, each axis with units of its own.
ptitle = "retrato de fase: velocidade v contra a posição x"; pnote = ""
xl = "posição x"; yl = "velocidade v"; key_at = ""
eval panel
set autoscale xy
set size ratio 1
set offsets graph 0.04, graph 0.04, graph 0.04, graph 0.04
set xtics nice((xmax - xmin) / 5)
set ytics nice((vmax - vmin) / 5)
drawing = 'plot for [i = 1:files] pfile(i) using 1:2 with lines linewidth 2 linetype i notitle'
eval draw
unset multiplot
# The figure's title, a line each, after its panels: a table starts with its first curve.
if (tables) { do for [i = 1:headings] { print "# figura: " . heading[i] } }
