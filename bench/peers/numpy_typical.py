"""The usual numpy way: loadtxt, rfft, savetxt.   numpy_typical.py INPUT OUTPUT"""
import sys
import numpy as np

data = np.loadtxt(sys.argv[1])
x, y = data[:, 0], data[:, 1]
n = len(y)
dx = (x[-1] - x[0]) / (n - 1)
N = 1 << (n - 1).bit_length()
padded = np.full(N, y.mean())
padded[:n] = y
bins = np.conj(np.fft.rfft(padded))[: N // 2] * dx
# Refer the phases to the true abscissae: bin k turns by 2 pi f_k x0.
bins *= np.exp(2j * np.pi * (np.arange(N // 2) / (N * dx)) * x[0])
freq = np.arange(N // 2) / (N * dx)
np.savetxt(sys.argv[2], np.column_stack([freq, np.abs(bins), np.angle(bins)]), fmt="%.9g", delimiter="\t", newline="\r\n")
