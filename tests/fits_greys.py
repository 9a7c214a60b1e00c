"""The greys our FITS reader should show for a file, from astropy's decode of its samples.

Usage: fits_greys.py IN.fit OUT.ppm. Exit status 0 with OUT written, 3 when astropy is
missing, 4 when astropy has no picture for the file.

astropy gives the physical values (BSCALE and BZERO applied); this script applies our
grey rule: the range is DATAMIN..DATAMAX from the header, or the plane's smallest and
largest finite value when both are 0 or absent; the scale is 255 / range when the range
is at most 1 or wider than 255, and 1 otherwise; grey = (value - min) x scale, clipped
to 0..255 and truncated, NaN black. The last plane of the third axis is shown and the
first data row is the bottom row.
"""
import sys

try:
    import numpy as np
    from astropy.io import fits
except ImportError:
    sys.exit(3)


def main():
    with fits.open(sys.argv[1], memmap=False) as hdus:
        hdu = hdus[0]
        data = hdu.data
        if data is None or data.ndim < 1 or data.ndim > 4 or data.size == 0:
            sys.exit(4)
        header = hdu.header
        data = np.asarray(data, dtype=np.float64)
    if data.ndim == 1:
        plane = data[np.newaxis, :]
    elif data.ndim == 2:
        plane = data
    elif data.ndim == 3:
        plane = data[-1]
    else:
        plane = data[0, -1]
    lo = float(header.get("DATAMIN", 0.0))
    hi = float(header.get("DATAMAX", 0.0))
    if lo == 0 and hi == 0:
        finite = plane[np.isfinite(plane)]
        if finite.size:
            lo, hi = float(finite.min()), float(finite.max())
    span = hi - lo
    scale = 0.0 if span <= 0 else 255.0 / span if span <= 1 or span > 255 else 1.0
    with np.errstate(invalid="ignore"):
        g = (plane - lo) * scale
        grey = np.where(np.isnan(g) | (g <= 0), 0, np.where(g >= 255, 255, np.floor(np.nan_to_num(g))))
    grey = grey.astype(np.uint8)[::-1]
    h, w = grey.shape
    with open(sys.argv[2], "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (w, h))
        out.write(np.repeat(grey, 3).tobytes())


main()
