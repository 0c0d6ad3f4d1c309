"""Rates of peer operations in CPU time of this process, as Google Benchmark
times pixkit, so that a busy machine affects both alike. A helper of the peer
scripts, not a peer itself (run_all.sh skips names starting with "_")."""
import time


def best_rate(run, items, rounds=5, seconds=0.5, clock=time.process_time):
    """The best of rounds of items per CPU second (per second of clock),
    each round calling run() until seconds have passed (after one call to
    warm up)."""
    run()
    best = 0.0
    for _ in range(rounds):
        runs, start = 0, clock()
        while True:
            run()
            runs += 1
            elapsed = clock() - start
            if elapsed >= seconds:
                break
        best = max(best, runs * items / elapsed)
    return best
