# Bar chart of each row's ratio against its target, from bench/run.py's data.
# gnuplot -e "data='...'; out='...'" bench/ratios.gnuplot
set terminal pngcairo size 900,380 font "sans,9"
set output out
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.8 border -1
set boxwidth 0.9
set ylabel "program / baseline"
set yrange [0:*]
set xtics rotate by -30 left
set grid ytics
set key top left
plot data using 3:xtic(2) title "measured" lc rgb "#1f5fa8", \
     '' using 4 title "target (0: none)" lc rgb "#c8a000"
