printf '\033[2J\033[H'
i=1; while [ $i -le 30 ]; do echo "line $i"; i=$((i+1)); done
printf '\033[5;15r\033[15;1H'
i=1; while [ $i -le 20 ]; do echo "scrolled $i"; i=$((i+1)); done
printf '\033[r\033[20;1Hafter reset\033[5;1H\033[2Linserted\033[1;5H\033[1K'
sleep 30
