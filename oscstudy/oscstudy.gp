# oscstudy's gnuplot program. Before it, on gnuplot's standard input, oscstudy writes only
# numbers, fixed words and datablocks of its own:
#   question  "erro", "energia", "periodo", "ressonancia" or "metodos"
#   $title    one line, the program and its constants
#   text      1 to draw in the terminal (columns x lines), 0 for a PNG
#   points    the number of measured points in $p (ressonancia)
#   method_curve  1 where the method's curve exists, 0 where its rows never settle (ressonancia)
#   logarithmic  1 where the errors have a log scale to go on, 0 where all are 0 (erro, metodos)
#   rest      1 where E0 = 0, and E stands in place of E/E0 - 1 (energia, metodos)
#   drawn     1 where $e (erro, energia) or $o (metodos) holds a finite point, drawn_energy
#             where $E does (metodos); a panel without one is drawn empty, and says why
#   $e        t |x - x_exact| |v - v_exact| (erro), or t E/E0-1 exact (energia)
#   $x, $y    t x over the first and the last periods, $xe, $ye the exact x there (periodo);
#             $x t x_exact (metodos)
#   $c, $p    wf |X| |Y|, and wf measured (ressonancia)
#   $o $E $X  one index per method: h |error| reference slope; t E/E0-1; t x (metodos)
#   $names    the methods' names, one a line, in the order of those indices (metodos)
# The image or the drawing goes to standard output.
set encoding utf8
if (text) { set terminal dumb size columns, lines nofeed } else {
  set terminal pngcairo size 1100, 750 enhanced font "Sans,10"
}
set output
set title $title[1] noenhanced
set key top right noenhanced
set grid

# A panel with no finite point: its frame, and why it is empty.
empty = "nada a desenhar: os números passaram o maior double"

if (question eq "erro") {
  if (logarithmic) { set logscale y; set format y "%.0e" }
  set xlabel "t"
  set ylabel "erro"
  if (drawn) {
    plot $e using 1:2 with lines lw 1.5 title "|x - x exato|", \
         $e using 1:3 with lines lw 1.5 title "|v - v exato|"
  } else { set label 1 empty at graph 0.5, 0.5 center; plot [0:1] [0:1] NaN notitle }
}
if (question eq "energia") {
  set xlabel "t"
  set ylabel (rest ? "E" : "E/E0 - 1")
  if (drawn) {
    plot $e using 1:2 with lines lw 1.5 title "calculada", \
         $e using 1:3 with lines lw 1.5 dashtype 2 title "exata"
  } else { set label 1 empty at graph 0.5, 0.5 center; plot [0:1] [0:1] NaN notitle }
}
if (question eq "periodo") {
  # The first periods and the last, where the phase that the steps lose shows.
  set xlabel "t"
  set ylabel "x"
  if (!text) { set multiplot layout 1, 2 title $title[1] noenhanced; unset title }
  plot $xe using 1:2 with lines lw 2 title "x exato", \
       $x using 1:2 with linespoints pointtype 7 pointsize 0.6 title "x calculado (as linhas)"
  if (!text) {
    plot $ye using 1:2 with lines lw 2 title "x exato", \
         $y using 1:2 with linespoints pointtype 7 pointsize 0.6 title "x calculado (as linhas)"
    unset multiplot
  }
}
if (question eq "ressonancia") {
  set xlabel "wf"
  set ylabel "amplitude estacionária"
  # The method's curve only where its rows settle; the measured points only where there are.
  if (method_curve && points > 0) {
    plot $c using 1:2 with lines lw 2 title "exata |X|", \
         $c using 1:3 with lines lw 1.5 dashtype 2 title "RK4 |Y|", \
         $p using 1:2 with points pointtype 7 pointsize 1.5 title "medidos nas linhas"
  }
  if (method_curve && points == 0) {
    plot $c using 1:2 with lines lw 2 title "exata |X|", \
         $c using 1:3 with lines lw 1.5 dashtype 2 title "RK4 |Y|"
  }
  if (!method_curve) { plot $c using 1:2 with lines lw 2 title "exata |X|" }
}
if (question eq "metodos") {
  methods = |$names|
  # Errors and energy side by side above, the motion of each method across the bottom.
  if (!text) {
    set multiplot title $title[1] noenhanced
    unset title
    set size 0.5, 0.47
    set origin 0, 0.47
  }
  set logscale x
  if (logarithmic) { set logscale y; set format y "%.0e" }
  set xlabel "h"
  set ylabel "|erro em x(T)|"
  set key bottom right
  if (drawn) {
    plot for [i = 1:methods] $o index (i - 1) using 1:2 with linespoints pointtype 7 linecolor i \
           title $names[i], \
         for [i = 1:methods] $o index (i - 1) using 1:3 with lines dashtype 2 linecolor i notitle
  } else {
    unset logscale
    set label 1 empty at graph 0.5, 0.5 center
    plot [0:1] [0:1] NaN notitle
    unset label 1
  }
  if (!text) {
    unset logscale
    set format y "%g"
    set xlabel "t"
    set ylabel (rest ? "E" : "E/E0 - 1")
    set key top left
    set origin 0.5, 0.47
    if (drawn_energy) {
      plot for [i = 1:methods] $E index (i - 1) using 1:2 with lines lw 1.5 linecolor i title $names[i]
    } else { set label 1 empty at graph 0.5, 0.5 center; plot [0:1] [0:1] NaN notitle; unset label 1 }
    set size 1, 0.47
    set origin 0, 0
    set ylabel "x"
    set key top right
    plot $x using 1:2 with lines lw 3 linecolor rgb "black" title "exato", \
         for [i = 1:methods] $X index (i - 1) using 1:2 with lines linecolor i title $names[i]
    unset multiplot
  }
}
