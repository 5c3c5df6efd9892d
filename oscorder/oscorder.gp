# oscorder's figure: the errors of x(T) against the step h on log-log axes, with the rounding
# of x(T), the threshold an error must pass to count, and a line of slope 4. oscorder writes
# before it, on gnuplot's standard input, only numbers and datablocks:
#   margin   the threshold, in roundings
#   anchored 1 when an error was measured: anchor_step and anchor_error are then the smallest
#            measured step and its error
#   $points  a row per run, "h |error| measured rounding" (measured 1 or 0)
#   $floor   the rounding at each step, out to the figure's edges
#   $title   one line, the figure's title
# The image goes to gnuplot's standard output.
set encoding utf8
set terminal pngcairo size 900,700 font "DejaVu Sans,11"
set output
set title $title[1] noenhanced
set grid
set logscale xy
set key below horizontal
set xlabel "passo h"
set ylabel "|erro| de x(T)"
set format y "10^{%L}"
stats $floor using 1 nooutput
set xrange [STATS_min : STATS_max]
# A tic at each of the four steps, h to h/8.
stats $points using 1 nooutput
h = STATS_max
set xtics (gprintf("%g", h) h, gprintf("%g", h / 2) h / 2, gprintf("%g", h / 4) h / 4, \
           gprintf("%g", h / 8) h / 8)
# The line of slope 4 goes through the smallest measured step, when there is one.
slope(h) = NaN
if (anchored) {
  slope(h) = anchor_error * (h / anchor_step)**4
}
stats $points using ($3 == 0) nooutput
below = STATS_sum
# The lines first, so that the points are drawn over them.
plot $floor using 1:2 with lines linewidth 2 linecolor rgb "#808080" title "arredondamento de x(T)", \
     $floor using 1:(margin * $2) with lines linewidth 2 dashtype 3 linecolor rgb "#808080" \
       title sprintf("limiar: %g × arredondamento", margin), \
     slope(x) with lines linewidth 2 dashtype 2 linecolor rgb "#009e73" \
       title (anchored ? "declive 4: erro ∝ h^4" : ""), \
     $points using 1:($3 == 1 ? $2 : NaN) with points pointtype 7 pointsize 1.8 linecolor rgb "#9400d3" \
       title (below < STATS_records ? "erro medido" : ""), \
     $points using 1:($3 == 0 && $2 > 0 ? $2 : NaN) with points pointtype 6 pointsize 1.8 linewidth 2 \
       linecolor rgb "#9400d3" title (below > 0 ? "abaixo do limiar: fora da ordem" : "")
unset output
