# oscorder's figure: the errors of x(T) against the step h on log-log axes, with the rounding
# of x(T), the threshold an error must pass to count, and a line of slope 4. oscorder writes
# before it, on gnuplot's standard input, only numbers and datablocks:
#   margin   the threshold, in roundings
#   anchored 1 when an error was measured: anchor_step and anchor_error are then the smallest
#            measured step and its error
#   tables   1 to write the plot's points as a table instead of drawing it, followed by what the
#            panel shows beside them
#   $points  a row per run, "h |error| measured rounding unstable" (measured and unstable 1 or
#            0; an unstable step's error does not count)
#   $floor   the rounding at each step, out to the figure's edges
#   $title   one line, the figure's title
# The image, or the table, goes to gnuplot's standard output.
set encoding utf8
if (tables) {
  set terminal unknown
  set print "-"
} else {
  set terminal pngcairo size 900,700 font "DejaVu Sans,11"
}
set output
# The title over the figure, and the key under it.
set multiplot layout 1,1 title $title[1] noenhanced
stacked = 1
set grid
set logscale xy
# The key above the plot, clear of the axis label below it.
set key tmargin center horizontal
xl = "passo h"; yl = "|erro| de x(T)"
set xlabel xl
set ylabel yl
# A table's numbers in full, the figure's as powers of ten.
if (tables) { set format xy "%.17g" } else { set format y "10^{%L}" }
stats $floor using 1 nooutput
set xrange [STATS_min : STATS_max]
# A tic at each of the four steps, h to h/8.
stats $points using 1 nooutput
h = STATS_max
tics = ""
do for [k = 0:3] {
  tics = tics . sprintf('%s"%s" %.17g', k > 0 ? ", " : "", gprintf("%g", h / 2**k), h / 2**k)
}
tic_list = "(" . tics . ")"
set xtics @tic_list
# The line of slope 4 goes through the smallest measured step, when there is one.
slope(h) = NaN
if (anchored) {
  slope(h) = anchor_error * (h / anchor_step)**4
}
# The steps of each kind: measured, below the threshold, unstable.
stats $points using ($5 == 0 && $3 == 1) nooutput
counted = STATS_sum
stats $points using ($5 == 0 && $3 == 0) nooutput
below = STATS_sum
stats $points using 5 nooutput
unstable = STATS_sum
# The lines first, so that the points are drawn over them.
drawing = 'plot $floor using 1:2 with lines linewidth 2 linecolor rgb "#808080" title "arredondamento de x(T)", \
     $floor using 1:(margin * $2) with lines linewidth 2 dashtype 3 linecolor rgb "#808080" \
       title sprintf("limiar: %g × arredondamento", margin), \
     slope(x) with lines linewidth 2 dashtype 2 linecolor rgb "#009e73" \
       title (anchored ? "declive 4: erro ∝ h^4" : ""), \
     $points using 1:($5 == 0 && $3 == 1 ? $2 : NaN) with points pointtype 7 pointsize 1.8 \
       linecolor rgb "#9400d3" title (counted > 0 ? "erro medido" : ""), \
     $points using 1:($5 == 0 && $3 == 0 && $2 > 0 ? $2 : NaN) with points pointtype 6 pointsize 1.8 \
       linewidth 2 linecolor rgb "#9400d3" title (below > 0 ? "abaixo do limiar: fora da ordem" : ""), \
     $points using 1:($5 == 1 && $2 > 0 ? $2 : NaN) with points pointtype 2 pointsize 2 linewidth 2 \
       linecolor rgb "#d55e00" title (unstable > 0 ? "passo instável: fora da ordem" : "")'
if (tables) {
  set table; eval drawing; unset table; eval measured
  print sprintf("# painel: %s\n# eixo x: %s, de %g a %g\n# marcas x: %s\n" . \
                "# eixo y: %s, de %g a %g\n# legenda: %s", \
                $title[1], xl, GPVAL_X_MIN, GPVAL_X_MAX, tics, yl, GPVAL_Y_MIN, GPVAL_Y_MAX, key_place)
} else {
  eval drawing
}
unset multiplot
unset output
