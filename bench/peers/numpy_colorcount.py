"""NumPy peer of bench/colorcount.cpp: the number of distinct 24-bit colours
of a 4000 x 3000 and a 700 x 700 image of random colours, as the size of
numpy.unique over the pixels with their top bytes cleared. Items are pixels.

Timed in CPU time of this process. Prints {"benchmarks": [{"name": ...,
"items_per_second": N}]}.
"""
import json

import numpy as np
from _cputime import best_rate


def main():
    rng = np.random.default_rng(3)
    out = []
    for name, w, h in (("ColorCount4000x3000", 4000, 3000), ("ColorCount700x700", 700, 700)):
        pixels = rng.integers(0, 1 << 24, w * h, dtype=np.uint32)
        rate = best_rate(lambda: np.unique(pixels & 0xFFFFFF).size, w * h, rounds=3)
        out.append({"name": name + "/numpy", "items_per_second": rate})
    print(json.dumps({"benchmarks": out}))


if __name__ == "__main__":
    main()
