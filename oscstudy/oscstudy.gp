# oscstudy's gnuplot program. Before it, on gnuplot's standard input, oscstudy writes only
# numbers, fixed words and datablocks of its own:
#   question  "erro", "energia", "periodo", "ressonancia" or "metodos"
#   $title    one line, the program and its constants
#   text      1 to draw in the terminal (columns x lines), one panel; 0 for a PNG
#   tables    1 to write every plot's points as a table instead of drawing it, each followed
#             by what its panel shows beside them: title, note, axes and their ranges
#   $note     a line said under the first panel's title ("" for none): the step is unstable
#   drawn     0 where a panel has no finite point to draw: it is drawn empty, and says why
#   logarithmic  1 where the panel's values span decades and a log scale has them (erro,
#             energia, ressonancia, and the errors against h of metodos)
# erro:       $e  t |x - x_exact| |v - v_exact| predicted; predicted 1 where that column is
#             the prediction of the step's factor ($predicted_key), steady 1 where the rows
#             settle on a difference gap = |Y - X| ($gap_key)
# energia:    $e  t computed exact: E/E0 on a log scale, else E/E0 - 1; E where rest is 1
#             (E0 = 0); $d  t computed - exact (in E0; its size on a log scale), apart 1 where
#             it holds a point to draw, and e^(-2β·t) where envelope is 1
# periodo:    $x and $y (two 1) the rows as dots in the first and the last window, from
#             first_from to first_to and last_from to last_to, $xe and $ye the exact x there,
#             each window's title in $first_title, $last_title, the dots' key in $dots_key;
#             first_period, last_period 1 where $first_period, $last_period mark the period
#             measured ($period_key) from a peak; amplitude 1 where $amplitude marks ±A, the
#             steady amplitude measured ($amplitude_key)
# ressonancia: $c  wf |X| |Y| arg X arg Y, method_curve 0 where the method's rows never settle;
#             $p  wf measured phase, the program's own `points`; peak, method_peak and width 1
#             where $peak, $method_peak and $width hold the exact peak, the method's and the
#             half-power width ($peak_key, $method_peak_key, $width_key)
# metodos:    $o $E $X $D  one index per method: h |error| reference-slope order;
#             t |E/E0 - 1|; t x; t |x - x_exact|; $x  t x_exact; $names  the methods' keys,
#             one a line, in the order of those indices; drawn_energy, drawn_error (and _log)
#             as drawn and logarithmic for $E and $D; rest 1 where E0 = 0 and $E holds E; clip
#             above 0 where x(t) is drawn from -clip to clip, past which a method diverges
# The image, the drawing or the tables go to standard output.
set encoding utf8
if (tables) {
  set terminal unknown
  set print "-"
} else {
  if (text) { set terminal dumb size columns, lines nofeed } else {
    set terminal pngcairo size 1100, 800 enhanced font "Sans,10"
  }
}
set output
set grid
set autoscale xfix
# Keys above each panel, under its title, clear of the curves.
set key tmargin center horizontal samplen 2 width 1 noenhanced
# The fifth colour darker than its yellow, which a white page hides.
set linetype 5 linecolor rgb "#d55e00"

# Every panel goes through draw: its title ptitle, its axes labelled xl and yl, log scales
# where xlog and ylog are 1, and the plot command in `drawing`, drawn or written as a table and
# followed by what the panel shows (its axes as drawn and its key's margin: measure.gp), with
# its note pnote. The figure's title says the note on a line of its own; in the terminal, the
# one panel's title says the constants, what it plots and the note, a line each.
# Log tics as powers of ten; a table's numbers in full.
xlog = 0; ylog = 0; pnote = ""
heading(between, note) = (text ? $title[1] . between : "") . ptitle . (text && note ne "" ? between . note : "")
# The note broken at spaces to the terminal's width, which drops a line too long to fit.
fold = 'folded = ""; part = ""; \
        do for [i = 1:words(pnote)] { \
          piece = word(pnote, i); \
          if (part ne "" && strlen(part) + 1 + strlen(piece) > columns - 4) { folded = folded . part . "\n"; part = piece } \
          else { part = (part eq "" ? piece : part . " " . piece) } \
        }; \
        folded = folded . part'
panel = 'eval fold; set title heading("\n", folded) noenhanced; \
         set xlabel xl; set ylabel yl; \
         if (xlog) { set logscale x } else { unset logscale x }; \
         if (ylog) { set logscale y; set format y "%.0e" } else { unset logscale y; set format y "%g" }; \
         if (tables) { set format xy "%.17g" }'
report = 'print "# painel: " . heading(" / ", pnote); if (pnote ne "") { print "# nota: " . pnote }; \
          print sprintf("# eixo x: %s, de %g a %g%s", xl, GPVAL_X_MIN, GPVAL_X_MAX, xlog ? " (log)" : ""); \
          print sprintf("# eixo y: %s, de %g a %g%s", yl, GPVAL_Y_MIN, GPVAL_Y_MAX, ylog ? " (log)" : ""); \
          print "# legenda: " . key_place'
draw = 'if (drawing eq empty) { xlog = 0; ylog = 0 }; eval panel; \
        if (tables) { set table; eval drawing; unset table; eval measured; eval report } else { eval drawing }'
# A panel with no finite point: its frame, and why it is empty.
empty = 'set label 1 "nada a desenhar: os números passaram o maior double" at graph 0.5, 0.5 center; \
         plot [0:1] [0:1] NaN notitle'
# Several panels under the figure's title, but for the terminal's one.
several = !text
if (several) {
  set multiplot title ($note[1] eq "" ? $title[1] : $title[1] . "\n" . $note[1]) noenhanced
}
set size 1, 0.95
set origin 0, 0
# A mark of the tool's: black, over the curves.
mark = 'lw 2 linecolor rgb "black"'

if (question eq "erro") {
  ptitle = "o erro ao longo da execução: o maior |x - x exato| e |v - v exato| de cada trecho de linhas"
  pnote = $note[1]; xl = "t"; yl = "erro"; ylog = logarithmic
  drawing = 'plot $e using 1:2 with lines lw 1.5 title "|x - x exato|", \
                  $e using 1:3 with lines lw 1.5 title "|v - v exato|"'
  if (predicted) {
    drawing = drawing . ', $e using 1:4 with lines @mark dashtype 2 title $predicted_key[1]'
  }
  if (steady) { drawing = drawing . ', gap with lines @mark dashtype 3 title $gap_key[1]' }
  if (!drawn) { drawing = empty }
  eval draw
}

if (question eq "energia") {
  ptitle = "a energia ao longo da execução, calculada e exata"
  pnote = $note[1]; xl = "t"; ylog = logarithmic
  yl = (rest ? "E" : logarithmic ? "E/E0" : "E/E0 - 1")
  if (several) { set size 1, 0.6; set origin 0, 0.35 }
  # Room below and above, for a level line (the exact energy kept) not to run on the frame.
  set offsets 0, 0, graph 0.05, graph 0.05
  drawing = 'plot $e using 1:2 with lines lw 3 title "calculada", \
                  $e using 1:3 with lines @mark dashtype 2 title "exata"'
  if (envelope) {
    drawing = drawing . ', $d using 1:3 with lines lw 2 dashtype 3 linecolor rgb "#e69f00" title "e^(-2β·t)"'
  }
  if (!drawn) { drawing = empty }
  eval draw
  set offsets 0, 0, 0, 0
  unset label 1
  if (several) {
    set size 1, 0.35; set origin 0, 0
    ptitle = "a diferença, calculada - exata"; pnote = ""
    yl = (logarithmic ? (rest ? "|E - E exata|" : "|E - E exata|/E0") : (rest ? "E - E exata" : "(E - E exata)/E0"))
    drawing = (apart ? 'plot $d using 1:2 with lines lw 1.5 title "calculada - exata"' : empty)
    eval draw
  }
}

if (question eq "periodo") {
  # The rows as dots on the exact line, which shows between them; the first window and the
  # last side by side, or the whole run. The period is marked from a peak in each window, the
  # steady amplitude across the last.
  xl = "t"; yl = "x"; ylog = 0; pnote = $note[1]
  # Room above the peaks, where the period's mark runs.
  set offsets 0, 0, graph 0.08, graph 0.08
  bar = 'using 1:2 with linespoints @mark pointtype 5 title $period_key[1]'
  level = ', $amplitude using 1:2 with lines lw 2 dashtype 2 linecolor rgb "#009e73" \
             title $amplitude_key[1]'
  first_marks = (first_period ? ', $first_period ' . bar : '')
  last_marks = (last_period ? ', $last_period ' . bar : '') . (amplitude ? level : '')
  if (!two) { first_marks = (first_period ? first_marks . (amplitude ? level : '') : last_marks) }
  motion = 'plot %s using 1:2 with lines lw 4 linecolor rgb "#a0a0a0" title "x exato", \
                 %s using 1:2 with points pointtype 7 pointsize 0.8 linecolor rgb "#0072b2" \
                   title $dots_key[1]'
  if (several && two) { set size 0.5, 0.95 }
  ptitle = $first_title[1]
  set xrange [first_from : first_to]
  drawing = sprintf(motion, "$xe", "$x") . first_marks
  eval draw
  if (several && two) {
    set origin 0.5, 0
    ptitle = $last_title[1]; pnote = ""
    set xrange [last_from : last_to]
    drawing = sprintf(motion, "$ye", "$y") . last_marks
    eval draw
  }
  set autoscale x
  set offsets 0, 0, 0, 0
}

if (question eq "ressonancia") {
  xl = "wf"; yl = "amplitude estacionária"; ylog = logarithmic; pnote = $note[1]
  ptitle = "a amplitude do regime estacionário contra a frequência da força"
  if (several) { set size 1, 0.6; set origin 0, 0.35 }
  drawing = 'plot $c using 1:2 with lines lw 2 title "exata |X|"'
  if (method_curve) { drawing = drawing . ', $c using 1:3 with lines lw 1.5 dashtype 2 title "RK4 |Y|"' }
  if (points > 0) {
    drawing = drawing . ', $p using 1:2 with points pointtype 7 pointsize 1.5 title "medidos nas linhas"'
  }
  if (width) {
    drawing = drawing . ', $width using 1:2 with linespoints @mark pointtype 5 title $width_key[1]'
  }
  if (peak) {
    drawing = drawing . ', $peak using 1:2 with points pointtype 9 pointsize 2 linecolor rgb "black" \
                           title $peak_key[1]'
  }
  if (method_peak) {
    drawing = drawing . ', $method_peak using 1:2 with points pointtype 8 pointsize 2 \
                           linecolor rgb "#d55e00" title $method_peak_key[1]'
  }
  eval draw
  if (several) {
    set size 1, 0.35; set origin 0, 0
    ptitle = "a fase do regime estacionário: x = |X|·sin(wf·t + fase)"; pnote = ""
    yl = "fase (rad)"; ylog = 0
    drawing = 'plot $c using 1:4 with lines lw 2 title "exata, arg X"'
    if (method_curve) {
      drawing = drawing . ', $c using 1:5 with lines lw 1.5 dashtype 2 title "RK4, arg Y"'
    }
    if (points > 0) {
      drawing = drawing . ', $p using 1:3 with points pointtype 7 pointsize 1.5 title "medidas nas linhas"'
    }
    eval draw
  }
}

if (question eq "metodos") {
  methods = |$names|
  # The errors at T against h, each with its order's slope; the energy, the motion and its
  # error against t, each method in its colour in every panel.
  if (several) { set size 0.5, 0.47; set origin 0, 0.48 }
  ptitle = "o erro em x(T) contra h: a tracejado, o declive da ordem de cada método"
  pnote = $note[1]; xl = "h"; yl = "|erro em x(T)|"; xlog = 1; ylog = logarithmic
  # Whole decades of h, with room for the labels right of the largest step.
  set autoscale x
  drawing = 'plot for [i = 1:methods] $o index (i - 1) using 1:2 with linespoints pointtype 7 \
                    linecolor i title $names[i], \
                  for [i = 1:methods] $o index (i - 1) using 1:3 with lines dashtype 2 linecolor i \
                    notitle, \
                  for [i = 1:methods] $o index (i - 1) every ::0::0 using 1:3:(sprintf("h^%d", $4)) \
                    with labels left offset 1, 0 textcolor lt i notitle'
  if (!drawn) { drawing = empty }
  eval draw
  set offsets 0, 0, 0, 0
  unset label 1
  if (several) {
    set origin 0.5, 0.48
    pnote = ""
    ptitle = (rest ? "a energia E de cada método" : "o afastamento da energia, |E/E0 - 1|, de cada método")
    xl = "t"; yl = (rest ? "E" : "|E/E0 - 1|"); xlog = 0; ylog = drawn_energy_log
    set autoscale xfix
    drawing = 'plot for [i = 1:methods] $E index (i - 1) using 1:2 with lines lw 1.5 linecolor i \
                 title $names[i]'
    if (!drawn_energy) { drawing = empty }
    eval draw
    unset label 1
    set origin 0, 0
    ptitle = "x(t): o exato e o de cada método" . (clip > 0 ? sprintf(", cortado em |x| = %g", clip) : "")
    yl = "x"; ylog = 0
    if (clip > 0) { unset logscale y; set yrange [-clip : clip] }
    drawing = 'plot $x using 1:2 with lines lw 4 linecolor rgb "#a0a0a0" title "exato", \
                    for [i = 1:methods] $X index (i - 1) using 1:2 with lines linecolor i title $names[i]'
    eval draw
    set autoscale y
    set origin 0.5, 0
    ptitle = "o erro de x(t) de cada método, |x - x exato|"
    yl = "|x - x exato|"; ylog = drawn_error_log
    drawing = 'plot for [i = 1:methods] $D index (i - 1) using 1:2 with lines lw 1.5 linecolor i \
                 title $names[i]'
    if (!drawn_error) { drawing = empty }
    eval draw
  }
}
if (several) { unset multiplot }
