# Read before each tool's gnuplot program: what a table says of a panel beside its points comes
# from gnuplot itself. Under "set table" GPVAL holds the data's ranges, not the axes drawn, so
# `measured` draws the panel's plot command (`drawing`) again, with no output: with its key and
# without it. After it GPVAL_X_MIN, GPVAL_Y_MAX, ... are the axes as drawn, and key_place is the
# margin the key took its room from: "tmargin" above the plot, "bmargin" below it, or "nenhuma".
# `stacked` is 1 inside a multiplot with a layout, where each plot takes the next place: each
# drawing again goes back to the panel's own.
stacked = 0
again = 'if (stacked) { set multiplot previous }; eval drawing'
measured = 'eval again; keyed_top = GPVAL_TERM_YMAX; keyed_bottom = GPVAL_TERM_YMIN; \
            set key off; eval again; set key on; \
            key_place = (keyed_top < GPVAL_TERM_YMAX ? "tmargin" : \
                         keyed_bottom > GPVAL_TERM_YMIN ? "bmargin" : "nenhuma")'
