# Turns the side-by-side measurements into one table.
#   T <transport> <op> <client> <tx/s> <p50 us> <p99 us> <cpu ms> <wall ms>   one timed round
#   C <transport> <op> <client> <instructions/tx> <system calls/tx>          the counting runs
# Every timed column is the median of its rounds; ratios are of median tx/s within one transport
# and operation. "p50 × raw+ts" is the same ratio taken from the medians of latency, which a busy
# machine moves less than tx/s (a few preempted transactions weigh on the mean).
# CPU/wall is the client's CPU time (getrusage) over the wall time of its measured loop.

function median(list,    n, v, i, j, t) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++)
        for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
}

function ratio(a, b) { return b ? sprintf("%.2f", a / b) : "-" }

$1 == "T" {
    key = $2 SUBSEP $3 SUBSEP $4
    if (!(key in tx)) seen[++rows] = key
    if (!($2 in transports)) { transports[$2] = 1; transportOrder[++transportCount] = $2 }
    tx[key] = tx[key] " " $5; p50[key] = p50[key] " " $6; p99[key] = p99[key] " " $7
    load[key] = load[key] " " ($9 > 0 ? 100 * $8 / $9 : 0)
}
$1 == "C" { key = $2 SUBSEP $3 SUBSEP $4; instr[key] = $5; sys[key] = $6 }

END {
    # Rows grouped by transport, in the order met; within one, operations and clients as run.
    for (t = 1; t <= transportCount; t++)
        for (r = 1; r <= rows; r++)
            if (index(seen[r], transportOrder[t] SUBSEP) == 1)
                order[++ordered] = seen[r]
    print "| transport | op | client | tx/s | p50 µs | p99 µs | × raw | × raw+ts | p50 × raw+ts | instructions/tx | syscalls/tx | CPU/wall |"
    print "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
    for (r = 1; r <= rows; r++) {
        split(order[r], k, SUBSEP)
        m = median(tx[order[r]])
        raw = median(tx[k[1] SUBSEP k[2] SUBSEP "raw"])
        stamped = median(tx[k[1] SUBSEP k[2] SUBSEP "raw+ts"])
        stampedP50 = median(p50[k[1] SUBSEP k[2] SUBSEP "raw+ts"])
        printf "| %s | %s | %s | %.0f | %.0f | %.0f | %s | %s | %s | %s | %s | %.0f %% |\n", k[1], k[2], k[3], m,
               median(p50[order[r]]), median(p99[order[r]]), ratio(m, raw), ratio(m, stamped),
               ratio(stampedP50, median(p50[order[r]])),
               (order[r] in instr) ? instr[order[r]] : "-", (order[r] in sys) ? sys[order[r]] : "-",
               median(load[order[r]])
        if (k[3] == "Serivane" && k[2] == "r10")
            serivane = sprintf("Serivane back-to-back r10 on the pty at 115200 baud: p50 %.2f ms, p99 %.2f ms; CPU time %.0f %% of wall time; the raw client that confirms t3.5 of quiet after each answer: p50 %.2f ms",
                               median(p50[order[r]]) / 1000, median(p99[order[r]]) / 1000,
                               median(load[order[r]]), median(p50[k[1] SUBSEP k[2] SUBSEP "raw+t3.5"]) / 1000)
    }
    if (serivane) print "\n" serivane
}
