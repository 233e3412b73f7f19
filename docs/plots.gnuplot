# Renders the example tables that docs/plots.sh made; run from docs/.
set terminal pngcairo size 720,260 font "sans,10"
set style data lines
set grid
set key off
set xlabel "index"
set ylabel "value"
set xrange [0:511]
array files[4] = ["sine", "square", "sawtooth", "noise"]
array titles[4] = ["hsum -L512 1 1 0", "hsum -L512 1 1 0 3 0.3333 0 5 0.2 0 7 0.1429 0 9 0.1111 0", \
                   "hsum -L512 1 1 0 2 0.5 0 3 0.3333 0 4 0.25 0 5 0.2 0 6 0.1667 0", "rtab -L512"]
do for [i=1:4] {
    set output files[i].".png"
    set title titles[i]
    plot files[i].".f32" binary format="%float32" using 0:1 lw 1.5 lc rgb "#1f5fa8"
}
