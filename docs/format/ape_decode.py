#!/usr/bin/env python3
"""A decoder of the APE format, version 1, written from the format document
in this folder alone: a reader's companion to it. Each function follows one
section of the document, named in its first comment line; read the two
side by side. Python 3 standard library only; slow, but exact.

usage:
  ape_decode.py IN.ape OUT.wav          write the WAVE file the APE file holds
  ape_decode.py --md5 IN.ape...         print the MD5 of each file's PCM
  ape_decode.py --check-manifest DIR    decode every vector of DIR/manifest.txt
                                        to its MD5, or refuse it with its code

A file that does not decode is refused: exit status 1, with the reason and
the name of the result code.
"""
import hashlib
import os
import sys
import time
from operator import add, mul, sub

# container.md#reading-a-file: the result codes
CODE_NAMES = {
    0: "APE_OK",
    3000: "APE_ERROR_NOT_APE",
    3001: "APE_ERROR_FOREIGN_APE",
    3002: "APE_ERROR_UNSUPPORTED_VERSION",
    3003: "APE_ERROR_BAD_HEADER",
    3004: "APE_ERROR_TRUNCATED",
    3005: "APE_ERROR_FRAME_CRC",
    3006: "APE_ERROR_FRAME_CORRUPT",
    3007: "APE_ERROR_MD5",
    3009: "APE_ERROR_WAVE_PARTS_CRC",
}
NOT_APE, FOREIGN_APE, UNSUPPORTED_VERSION, BAD_HEADER, TRUNCATED = 3000, 3001, 3002, 3003, 3004
FRAME_CRC, FRAME_CORRUPT, MD5_MISMATCH, WAVE_PARTS_CRC = 3005, 3006, 3007, 3009


class Refused(Exception):
    """README.md#conventions: refuse with X = stop, give X, write no output."""

    def __init__(self, code, reason):
        super().__init__(reason)
        self.code, self.reason = code, reason

    def __str__(self):
        return f"{CODE_NAMES[self.code]} ({self.code}): {self.reason}"


def refuse(code, reason):
    raise Refused(code, reason)


def corrupt(reason):
    """frame.md#what-a-frame-decoder-refuses: every payload refusal."""
    refuse(FRAME_CORRUPT, reason)


# ======================================================================
# README.md#conventions

def s32(v):
    """v modulo 2^32, as a signed 32-bit number."""
    v &= 0xFFFFFFFF
    return v - (1 << 32) if v >= 1 << 31 else v


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def u16(data, at):
    return int.from_bytes(data[at:at + 2], "little")


def u32(data, at):
    return int.from_bytes(data[at:at + 4], "little")


def u64(data, at):
    return int.from_bytes(data[at:at + 8], "little")


# ======================================================================
# container.md

# container.md#crc-32: the document's bit-by-bit CRC, a byte at a time
CRC32_TABLE = []
for _n in range(256):
    for _ in range(8):
        _n = (_n >> 1) ^ 0xEDB88320 if _n & 1 else _n >> 1
    CRC32_TABLE.append(_n)


def crc32(data):
    # container.md#crc-32
    c = 0xFFFFFFFF
    for byte in data:
        c = (c >> 8) ^ CRC32_TABLE[(c ^ byte) & 0xFF]
    return c ^ 0xFFFFFFFF


MAGIC = b"VAPE\r\n\x1a\n"
LEVELS = (1000, 2000, 3000, 4000)
TWO_64 = 1 << 64


class FileHeader:
    # container.md#file-header: the fields at offsets 12 to 127, and the
    # PCM's CRC-32 where the header holds one
    def __init__(self, f, header_size):
        self.header_size = header_size
        self.level, self.channels, self.bits, self.flags = (u16(f, at) for at in (12, 14, 16, 18))
        self.sample_rate, self.blocks_per_frame = u32(f, 20), u32(f, 24)
        (self.total_blocks, self.frame_count, self.wave_header_offset, self.wave_header_size,
         self.seek_table_offset, self.frames_offset, self.trailer_offset, self.trailer_size,
         self.audio_end) = (u64(f, at) for at in range(28, 100, 8))
        self.md5 = bytes(f[100:116])
        self.wave_header_crc, self.trailer_crc, self.seek_table_crc = (u32(f, at) for at in (116, 120, 124))
        # the room of a longer header: bit 0 of `fields` tells the PCM's CRC-32 is there
        self.pcm_crc = u32(f, 132) if header_size >= 140 and u32(f, 128) & 1 else None
        self.block_align = self.channels * self.bits // 8

    def broken_rules(self):
        """container.md#file-header: the fields that break their rule (the
        table's last column but the file's size); no sum may reach 2^64."""
        bpf, count = self.blocks_per_frame, self.frame_count
        frames_end = self.frames_offset + 24 * count
        rules = {
            "level": self.level in LEVELS,
            "channels": 1 <= self.channels <= 32,
            "bitsPerSample": self.bits in (8, 16, 24, 32),
            "flags": self.flags == (1 if self.bits == 8 else 0),
            "sampleRate": self.sample_rate != 0,
            "blocksPerFrame": bpf != 0 and bpf * self.channels <= 1 << 20,
            "totalBlocks": self.total_blocks * self.block_align < TWO_64,
            "frameCount": bpf != 0 and count == -(-self.total_blocks // bpf) and count < 1 << 32,
            "waveHeaderOffset": self.wave_header_offset == self.header_size,
            "waveHeaderSize": self.wave_header_offset + self.wave_header_size < TWO_64,
            "seekTableOffset": self.seek_table_offset == self.wave_header_offset + self.wave_header_size,
            "framesOffset": self.frames_offset == self.seek_table_offset + 8 * count < TWO_64,
            "trailerOffset": frames_end <= self.trailer_offset and frames_end < TWO_64,
            "trailerSize": self.trailer_offset + self.trailer_size < TWO_64,
            "audioEnd": self.audio_end == self.trailer_offset + self.trailer_size,
        }
        return [name for name, holds in rules.items() if not holds]

    def blocks(self, i):
        # container.md#seek-table: the blocks of frame i
        return min(self.blocks_per_frame, self.total_blocks - i * self.blocks_per_frame)


def pcm_bytes(samples, bits):
    # container.md#the-pcm-and-its-md5
    if bits == 8:
        return bytes(v + 128 for v in samples)        # unsigned, as WAVE keeps 8 bits
    size = bits // 8
    return b"".join(v.to_bytes(size, "little", signed=True) for v in samples)


def decode_file(f):
    """container.md#reading-a-file: the whole file, checked in the
    document's order; gives the WAVE file (header + PCM + trailer) and the
    PCM's MD5, or raises Refused."""
    if f[0:4] == b"MAC ":
        refuse(FOREIGN_APE, "a file of another APE encoder")
    if f[0:8] != MAGIC:
        refuse(NOT_APE, "no magic")
    if len(f) < 12:
        refuse(TRUNCATED, "the file ends before its header's size")
    version, header_size = u16(f, 8), u16(f, 10)
    if version != 1:
        refuse(UNSUPPORTED_VERSION, f"format version {version}")
    if not 132 <= header_size <= 4096:
        refuse(BAD_HEADER, f"a header size of {header_size}")
    if len(f) < header_size:
        refuse(TRUNCATED, "the file ends inside its header")
    if u32(f, header_size - 4) != crc32(f[0:header_size - 4]):
        refuse(BAD_HEADER, "the header's CRC-32 does not match")
    h = FileHeader(f, header_size)
    broken = h.broken_rules()
    if broken:
        refuse(BAD_HEADER, "header fields out of their rules: " + ", ".join(broken))
    if h.audio_end > len(f):
        refuse(TRUNCATED, "the file ends before its audio part does")
    seek_table = f[h.seek_table_offset:h.frames_offset]
    if crc32(seek_table) != h.seek_table_crc:
        refuse(BAD_HEADER, "the seek table's CRC-32 does not match")
    if h.frame_count > 0 and seek_entry(f, h, 0) != h.frames_offset:
        refuse(BAD_HEADER, "the first frame is not at the frames' offset")
    wave_header = f[h.wave_header_offset:h.seek_table_offset]
    if crc32(wave_header) != h.wave_header_crc:
        refuse(WAVE_PARTS_CRC, "the stored WAVE header's CRC-32 does not match")
    md5 = hashlib.md5()
    pcm = []
    for i in range(h.frame_count):
        part = pcm_bytes(decode_frame(f, h, i), h.bits)
        md5.update(part)
        pcm.append(part)
    if h.pcm_crc is not None and crc32(b"".join(pcm)) != h.pcm_crc:
        refuse(MD5_MISMATCH, "the PCM's CRC-32 does not match")
    if md5.digest() != h.md5:
        refuse(MD5_MISMATCH, "the PCM's MD5 does not match")
    trailer = f[h.trailer_offset:h.audio_end]
    if crc32(trailer) != h.trailer_crc:
        refuse(WAVE_PARTS_CRC, "the stored WAVE trailer's CRC-32 does not match")
    return b"".join([wave_header] + pcm + [trailer]), md5.hexdigest()


def seek_entry(f, h, i):
    # container.md#seek-table: where frame i begins; the last one ends at the trailer
    return h.trailer_offset if i == h.frame_count else u64(f, h.seek_table_offset + 8 * i)


def decode_frame(f, h, i):
    """container.md#frames: frame i's header checked, its payload decoded
    by its coding variant; gives its samples, interleaved."""
    blocks = h.blocks(i)
    start, end = seek_entry(f, h, i), seek_entry(f, h, i + 1)
    if start < h.frames_offset or end > h.trailer_offset or end < start + 24:
        corrupt(f"frame {i} is misplaced")
    if end - start - 24 > 5 * blocks * h.channels + 4096:
        corrupt(f"frame {i} is longer than any {blocks} blocks may take")
    frame = f[start:end]
    if frame[0:4] != b"VFRM":
        corrupt(f"frame {i} has no sync")
    if u32(frame, 20) != crc32(frame[0:20] + frame[24:]):
        refuse(FRAME_CRC, f"frame {i}'s CRC-32 does not match")
    if u32(frame, 4) != i:
        corrupt(f"frame {i} says it is frame {u32(frame, 4)}")
    if u32(frame, 16) != end - start - 24:
        corrupt(f"frame {i}'s payload size is not its place in the seek table")
    if u32(frame, 8) != blocks:
        corrupt(f"frame {i} says {u32(frame, 8)} blocks, not {blocks}")
    if u16(frame, 12) not in LEVELS:
        corrupt(f"frame {i} has level {u16(frame, 12)}")
    variant = u16(frame, 14)
    if variant not in VARIANTS:                       # frame.md#coding-variants
        refuse(UNSUPPORTED_VERSION, f"frame {i} is of coding variant {variant}, which this decoder does not know")
    try:
        return decode_payload(frame[24:], VARIANTS[variant], h.channels, h.bits, blocks)
    except Refused as refusal:
        refusal.reason = f"frame {i}: {refusal.reason}"
        raise


# ======================================================================
# frame.md

class Variant:
    """frame.md#coding-variants: one row of the table of variants, what
    sets the variant's parameter block apart (every other step is the same
    in every variant)."""

    def __init__(self, zero_byte, count_of_parts, stage_kinds):
        self.zero_byte = zero_byte                # a second byte, once meant for a pre-emphasis, that must be 0
        self.count_of_parts = count_of_parts      # a count of parts J after the mid/side flags; else J = 1
        self.stage_kinds = stage_kinds            # a fifth byte, the kind K, in each stage's description; else K = 0


# frame.md#coding-variants (README.md#versions-and-variants): the coding
# variants this decoder knows. A new variant is one more row here, and its
# own fields in parse_parameters.
VARIANTS = {
    0: Variant(zero_byte=True, count_of_parts=False, stage_kinds=False),
    1: Variant(zero_byte=False, count_of_parts=True, stage_kinds=False),
    2: Variant(zero_byte=False, count_of_parts=True, stage_kinds=True),
}


def decode_payload(payload, variant, channels, bits, blocks):
    # frame.md#the-method-byte: byte 0 is the method, in every variant
    if len(payload) == 0:
        corrupt("an empty payload")
    if payload[0] not in METHODS:
        corrupt(f"method {payload[0]}")
    return METHODS[payload[0]](payload[1:], variant, channels, bits, blocks)


def decode_verbatim(rest, variant, channels, bits, blocks):
    # frame.md#verbatim-frames: signed samples, 8-bit ones included
    size = bits // 8
    if len(rest) != blocks * channels * size:
        corrupt(f"a verbatim payload of {len(rest)} bytes for {blocks * channels} samples")
    return [int.from_bytes(rest[at:at + size], "little", signed=True)
            for at in range(0, len(rest), size)]


class ByteReader:
    """Reads the parameter block; a payload that ends inside it is refused."""

    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, size):
        if self.at + size > len(self.data):
            corrupt("the payload ends inside the parameters")
        self.at += size
        return self.data[self.at - size:self.at]

    def u8(self):
        return self.take(1)[0]

    def u16(self):
        return int.from_bytes(self.take(2), "little")

    def i16(self):
        return int.from_bytes(self.take(2), "little", signed=True)

    def rest(self):
        return self.data[self.at:]


class Stage:
    def __init__(self, N, F, D, K):
        self.N, self.F, self.D = N, F, D
        self.K = K                       # 0 each channel's own, 1 the stereo stage (variant 2 on)


class Channel:
    def __init__(self):
        self.silent, self.wasted, self.k = False, 0, []
        self.parts = []                  # (a, q) for each part j: a = [a1, ..., aP], [] for none


class Parameters:
    def __init__(self):
        self.E, self.stages, self.mid_side, self.J, self.channels = 0, [], [], 1, []


def parse_parameters(reader, variant, channels, blocks):
    """frame.md#parameter-block: every parameter checked as it is read; a
    field of some variants only is read under its variant's `if`."""
    p = Parameters()
    p.E = reader.u8()
    if p.E not in ENTROPY_CODERS:
        corrupt(f"entropy coder {p.E}")
    if variant.zero_byte:
        byte = reader.u8()
        if byte != 0:
            corrupt(f"a second parameter byte (once meant for a pre-emphasis) of {byte}, not 0")
    S = reader.u8()
    if S > 4:
        corrupt(f"{S} adaptive stages")
    for _ in range(S):
        N, F, D = reader.u16(), reader.u8(), reader.u8()
        K = reader.u8() if variant.stage_kinds else 0
        p.stages.append(Stage(N, F, D, K))
    pairs = channels // 2
    flags = reader.take((pairs + 7) // 8)
    p.mid_side = [bool(flags[pair // 8] >> (pair % 8) & 1) for pair in range(pairs)]
    if variant.count_of_parts:
        p.J = reader.u8()
        if not 1 <= p.J <= 16 or p.J > blocks:
            corrupt(f"{p.J} parts of the fixed predictor in a frame of {blocks} blocks")
    for _ in range(channels):
        ch = Channel()
        W = reader.u8()
        ch.silent, ch.wasted = bool(W & 0x80), W & 0x7F
        if ch.wasted > 31:
            corrupt(f"{ch.wasted} wasted bits")
        ch.k = list(reader.take(S))
        for stage, k in zip(p.stages, ch.k):
            check_stage(stage, k)
        for j in range(p.J):
            P = reader.u8()
            if P > 32:
                corrupt(f"a fixed predictor of order {P} in part {j}")
            a, q = [], 0
            if P > 0:
                q = reader.u8()
                if q > 15:
                    corrupt(f"a predictor of {q} fraction bits in part {j}")
                a = [reader.i16() for _ in range(P)]
            ch.parts.append((a, q))
        p.channels.append(ch)
    return p


def check_stage(stage, k):
    # frame.md#parameter-block: the stage rule
    if not (16 <= stage.N <= 2048 and stage.N % 16 == 0):
        corrupt(f"a stage of {stage.N} taps")
    if stage.F > 24:
        corrupt(f"a stage of {stage.F} fraction bits")
    if stage.D > 10:
        corrupt(f"a stage of direction resolution {stage.D}")
    if k > 24 or k > stage.F:
        corrupt(f"an input shift of {k} for {stage.F} fraction bits")
    if stage.K > 1:
        corrupt(f"a stage of kind {stage.K}")
    if stage.K == 1 and stage.N not in (16, 32):
        corrupt(f"a stereo stage of {stage.N} taps")


def decode_predicted(rest, variant, channels, bits, blocks):
    """frame.md#the-cascade: codes -> undo stage S-1 ... stage 0 -> undo the
    fixed predictor (its J parts) -> left/right -> wasted bits back. A stage
    of kind 0 runs on each channel alone; a stereo stage (kind 1) on the
    pairs 2p, 2p + 1 and as kind 0 on an odd last channel
    (prediction.md#stages-in-a-cascade). A silent channel's zeros go
    through every stage and predictor as zeros (frame.md#the-cascade), so
    they are skipped; a silent first channel of a pair still feeds its
    zeros to the second through the cross weights."""
    reader = ByteReader(rest)
    p = parse_parameters(reader, variant, channels, blocks)
    x = decode_residuals(p, reader.rest(), blocks)
    silent = [ch.silent for ch in p.channels]
    for s in reversed(range(len(p.stages))):           # the last stage first
        stage = p.stages[s]
        alone = range(channels)
        if stage.K == 1:
            alone = range(channels - channels % 2, channels)
            for a in range(0, channels - 1, 2):        # b = a + 1
                ka, kb = p.channels[a].k[s], p.channels[a + 1].k[s]
                if silent[a + 1]:                      # b's prediction stays 0
                    if not silent[a]:
                        x[a] = lms_undo(x[a], stage.N, stage.F, stage.D, ka)
                else:
                    x[a], x[a + 1] = stereo_undo(x[a], x[a + 1], stage.N, stage.F, stage.D, ka, kb)
        for ch in alone:
            if not silent[ch]:
                x[ch] = lms_undo(x[ch], stage.N, stage.F, stage.D, p.channels[ch].k[s])
    planes = [e if ch.silent else lpc_undo(e, ch.parts) for ch, e in zip(p.channels, x)]
    for pair, flagged in enumerate(p.mid_side):
        if flagged:
            planes[2 * pair], planes[2 * pair + 1] = left_right(planes[2 * pair], planes[2 * pair + 1])
    return restore_wasted_bits(planes, p.channels, bits)


# frame.md#the-method-byte: the decoder of each method. A new method is one
# more entry, with its section in frame.md.
METHODS = {0: decode_verbatim, 1: decode_predicted}


def decode_residuals(p, data, blocks):
    """frame.md#parameter-block, the table of E: each channel's residuals;
    a silent channel's are zeros."""
    coded = [i for i, ch in enumerate(p.channels) if not ch.silent]
    decoded = ENTROPY_CODERS[p.E](data, len(coded), blocks)
    residuals = [[0] * blocks for _ in p.channels]
    for i, values in zip(coded, decoded):
        residuals[i] = values
    return residuals


def left_right(mids, sides):
    # frame.md#channel-decorrelation: mid/side
    ls, rs = [], []
    for m, s in zip(mids, sides):
        r = s32(m - (s >> 1))
        ls.append(s32(s + r))
        rs.append(r)
    return ls, rs


def restore_wasted_bits(planes, channels, bits):
    """frame.md#channel-decorrelation: wasted bits back, last; then the
    range of every sample; interleaved."""
    lo, hi = -(1 << (bits - 1)), (1 << (bits - 1)) - 1
    shifted = []
    for ch, plane in zip(channels, planes):
        shifted.append([s32(v << ch.wasted) for v in plane])
        if min(shifted[-1], default=0) < lo or max(shifted[-1], default=0) > hi:
            corrupt(f"a sample outside {bits} bits")
    return [v for block in zip(*shifted) for v in block]


# ======================================================================
# prediction.md

def part_start(j, n, J):
    """prediction.md#parts: where part j of J begins in n samples (part J
    is the end); the last part holds the rest."""
    return n if j == J else j * (n // J)


def lpc_undo(e, parts):
    """prediction.md#fixed-linear-predictor, in parts as
    prediction.md#prediction-across-parts says: one filter over the whole
    frame whose coefficients change at each part's start; a part's past is
    the samples before it, whatever parts they lie in. The samples are kept
    behind as many zeros as the longest predictor has taps, so the warm-up
    at the frame's start needs no case of its own: x[i-m] before the frame
    reads as 0. Each a is reversed to line up with the window."""
    n, J = len(e), len(parts)
    longest = max(len(a) for a, _ in parts)
    if longest == 0:
        return e
    x = [0] * longest + [0] * n
    for j, (a, q) in enumerate(parts):
        begin, end = part_start(j, n, J), part_start(j + 1, n, J)
        P = len(a)
        if P == 0:                        # no prediction in this part
            x[longest + begin:longest + end] = e[begin:end]
            continue
        a_oldest_first = a[::-1]
        for i in range(begin, end):
            at = longest + i
            acc = sum(map(mul, a_oldest_first, x[at - P:at]))     # exact
            x[at] = s32(e[i] + (acc >> q))
    return x[longest:]


def lms_undo(e, N, F, D, k):
    """prediction.md#adaptive-stage-sign-error-lms: the stage of kind 0."""
    return lms_run(e, N, F, D, k)[0]


def stereo_undo(ea, eb, N, F, D, ka, kb):
    """prediction.md#the-stereo-stage-kind-1: channel a (2p) runs the stage
    of kind 0; channel b (2p + 1) the same with N cross weights C_0 ... C_N-1
    on a's history. a never looks at b, so a is undone whole first and b
    after it, which gives what the document's sample by sample order gives."""
    xa, ha, da = lms_run(ea, N, F, D, ka)
    return xa, lms_run(eb, N, F, D, kb, partner=(ha, da))[0]


def lms_run(e, N, F, D, k, partner=None):
    """prediction.md#adaptive-stage-sign-error-lms, the four steps per
    sample; with `partner`, the history and directions of channel a, it is
    channel b of prediction.md#the-stereo-stage-kind-1. Gives the inputs x
    and the history and directions, laid out as below.

    Laid out for speed, the arithmetic unchanged: h and d keep every
    input's 16-bit copy and direction behind N zeros (the inputs before the
    frame), the input of sample t at N + t; weights[j] is W_L with
    L = N - j, so it lines up with h[t + j], the input L samples back. The
    lists' sums and maps run at C speed, and `reach` bounds the weights'
    magnitudes, so that they are searched for saturation only when one
    could have left 16 bits.

    Channel b interleaves: its entries sit at the even places 2(N + t), and
    the odd place 2i + 1 holds a's entry i + 1, so that the window of sample
    t, h[2t:2t + 2N], pairs b's h[t + j] (W_L, L = N - j) with a's
    h_a[t + 1 + j] (C_L, L = N - 1 - j: C_0 on a's entry of sample t itself).
    The directions' window of the last prediction, d[2(t - 1):2(t - 1) + 2N],
    pairs b's d[t - 1 + j] with a's d_a[t + j]: W_L moves by d_b[t-1-L] and
    C_L by d_a[t-1-L], as the document says. The weights are
    [W_N, C_N-1, W_N-1, C_N-2, ..., W_1, C_0]: one stage of 2N taps, each
    weight saturating on its own, and one wrapped sum."""
    n = len(e)
    r = F - k
    rnd = 1 << (r - 1) if r > 0 else 0
    dmax = 1 << (D + 2)
    stride = 1 if partner is None else 2           # the places between two of this channel's entries
    taps = stride * N
    h = [0] * (stride * (N + n))
    d = [0] * (stride * (N + n))
    if partner is not None:
        ha, da = partner
        h[1::2] = ha[1:] + [0]
        d[1::2] = da[1:] + [0]
    weights = [0] * taps
    reach = 0
    avg16, sign = 16, 0
    x = []
    at = stride * N                                 # where the entry of sample t goes
    for t, residual in enumerate(e):
        # 1. update: each weight moves by sign × the direction it applied to last time
        if sign:
            w0 = stride * (t - 1)
            weights = list(map(add if sign > 0 else sub, weights, d[w0:w0 + taps]))
            reach += dmax
            if reach > 32767:
                reach = max(max(weights), -min(weights))
                if reach > 32767:
                    weights = [clamp(w, -32768, 32767) for w in weights]
                    reach = 32768
        # 2. predict: pred = s32(s32(dot) + round) >> r, the two wraps as one (s32 inline)
        w0 = stride * t
        dot = sum(map(mul, weights, h[w0:w0 + taps]))
        pred = (((dot + rnd + 0x80000000) & 0xFFFFFFFF) - 0x80000000) >> r
        # 3. undo: v = s32(e[t] + pred)
        v = ((residual + pred + 0x80000000) & 0xFFFFFFFF) - 0x80000000
        sign = (residual > 0) - (residual < 0)
        # 4. feed
        hv = clamp(v >> k, -32768, 32767)
        mag = abs(hv)
        step = min((mag << D) >> (avg16 >> 4).bit_length(), dmax)
        h[at] = hv
        d[at] = -step if hv < 0 else step
        at += stride
        avg16 = avg16 + mag - (avg16 >> 4)
        x.append(v)
    return x, h, d


# ======================================================================
# entropy.md

def unzigzag(u):
    # entropy.md#zigzag-numbers
    return (u >> 1) ^ -(u & 1)


class BitReader:
    """entropy.md#bit-streams: most significant bit first; bits past the
    end read as zeros and are remembered (overran). The stream is held as
    text of '0' and '1', so that a run of zeros is found at C speed."""

    def __init__(self, data):
        self.bits = "".join(map("{:08b}".format, data))
        self.pos = 0

    def read(self, n):                     # n = 0 .. 32
        chunk = self.bits[self.pos:self.pos + n]
        self.pos += n
        return int(chunk.ljust(n, "0"), 2) if n else 0

    def zeros_then_one(self, most):
        """Reads zero bits up to a one bit (read too), or `most` zeros."""
        one = self.bits.find("1", self.pos, self.pos + most)
        if one < 0:
            self.pos += most
            return most
        zeros, self.pos = one - self.pos, one + 1
        return zeros

    def overran(self):
        return self.pos > len(self.bits)


class Mean:
    # entropy.md#the-running-mean
    def __init__(self):
        self.sum = 256

    def mean(self):
        return self.sum >> 4

    def update(self, u):
        self.sum = self.sum + min(u, 1 << 27) - (self.sum >> 4)


def rice_channel(reader, blocks):
    # entropy.md#rice-code
    mean, out = Mean(), []
    for _ in range(blocks):
        k = max(mean.mean(), 1).bit_length() - 1
        zeros = reader.zeros_then_one(24)
        u = reader.read(32) if zeros == 24 else (zeros << k) | reader.read(k)
        mean.update(u)
        out.append(unzigzag(u))
    return out


class RangeDecoder:
    # entropy.md#decoder
    def __init__(self, data):
        self.data, self.at, self.fetched_past_end = data, 0, False
        self.range, self.code = 0xFFFFFFFF, 0
        for _ in range(5):                 # the first byte falls out of the 32 bits
            self.code = ((self.code << 8) | self.next_byte()) & 0xFFFFFFFF

    def next_byte(self):
        if self.at < len(self.data):
            self.at += 1
            return self.data[self.at - 1]
        self.fetched_past_end = True
        return 0

    def bit(self, model, i):
        p = model[i]
        bound = (self.range >> 12) * p
        if self.code >= bound:
            self.code -= bound
            self.range -= bound
            model[i] = p - (p >> 5)
            b = 1
        else:
            self.range = bound
            model[i] = p + ((4096 - p) >> 5)
            b = 0
        while self.range < 1 << 24:
            self.range <<= 8
            self.code = ((self.code << 8) | self.next_byte()) & 0xFFFFFFFF
        return b


def golomb_channel(rc, raw, blocks):
    # entropy.md#adaptive-golomb-code-on-the-range-coder
    unary = [[2048] * 16 for _ in range(100)]
    top = [[2048] * 3 for _ in range(100)]
    mean, out = Mean(), []
    for _ in range(blocks):
        v = mean.mean()
        k = v.bit_length() - 1 if v > 0 else 0
        frac = (v >> (k - 2)) & 3 if k >= 2 else 2 * (v & 1) if k == 1 else 0
        ctx = min(k, 24) * 4 + frac
        q = 0
        while q < 20 and rc.bit(unary[ctx], min(q, 15)) == 1:
            q += 1
        if q < 20:
            u = q << k
            if k > 0:
                u |= rc.bit(top[ctx], min(q, 2)) << (k - 1)
                u |= raw.read(k - 1)
        else:                              # an escape: u's length, then u
            n = raw.read(6)
            if not 1 <= n <= 32:
                corrupt(f"a range-coded escape of length {n}")
            u = (1 << (n - 1)) | raw.read(n - 1)
        mean.update(u)
        out.append(unzigzag(u))
    return out


def entropy_coder_0(data, m, blocks):
    # entropy.md#entropy-coder-0-one-rice-stream
    reader = BitReader(data)
    out = [rice_channel(reader, blocks) for _ in range(m)]
    if reader.overran():
        corrupt("the Rice stream read past the payload's end")
    return out


def entropy_coder_1(data, m, blocks):
    # entropy.md#entropy-coder-1-range-coded-golomb-codes
    if len(data) < 4:
        corrupt("no room for the range-coded data's length")
    L = u32(data, 0)
    if L > len(data) - 4:
        corrupt(f"range-coded data of {L} bytes where {len(data) - 4} are left")
    rc = RangeDecoder(data[4:4 + L])       # its five bytes even when m = 0
    raw = BitReader(data[4 + L:])
    out = [golomb_channel(rc, raw, blocks) for _ in range(m)]
    if rc.fetched_past_end:
        corrupt("the range decoder fetched past its data's end")
    if raw.overran():
        corrupt("the raw bits read past the payload's end")
    return out


def entropy_coder_2(data, m, blocks):
    # entropy.md#entropy-coder-2-a-rice-stream-a-channel
    if m == 0:
        return []
    table = 4 * (m - 1)
    if len(data) < table:
        corrupt("no room for the Rice streams' lengths")
    lengths = [u32(data, 4 * i) for i in range(m - 1)]
    at, out = table, []
    for i in range(m):
        end = at + lengths[i] if i < m - 1 else len(data)
        if end > len(data):
            corrupt(f"Rice stream {i} is longer than what is left of the payload")
        reader = BitReader(data[at:end])
        out.append(rice_channel(reader, blocks))
        if reader.overran():
            corrupt(f"Rice stream {i} read past its end")
        at = end
    return out


class LsbReader:
    """entropy.md#tans-bit-streams: least significant bit first; bits past
    the end read as zeros and are remembered (overran). Eight zero bytes
    follow the data, so that a read of up to 32 bits at any place up to the
    end slices whole bytes."""

    def __init__(self, data):
        self.data, self.size, self.pos = bytes(data) + bytes(8), 8 * len(data), 0

    def read(self, n):                     # n = 0 .. 32
        pos = self.pos
        self.pos = pos + n
        if pos >= self.size:
            return 0
        at = pos >> 3
        return int.from_bytes(self.data[at:at + 5], "little") >> (pos & 7) & ((1 << n) - 1)

    def overran(self):
        return self.pos > self.size


def read_tables(r):
    """entropy.md#the-tables: the frequencies of each context's table (None
    for a context without one), and the whole bytes the tables take."""
    present = r.read(32)
    if present == 0:
        corrupt("tANS: no context has a table")
    table_of, previous = [None] * 32, None
    for c in range(32):
        if not present >> c & 1:
            continue
        if previous is not None and r.read(1) == 1:    # the table of the context before
            table_of[c] = table_of[previous]
        else:
            table_of[c] = read_frequencies(r)
        previous = c
    if r.overran():
        corrupt("tANS: the tables read past the payload's end")
    return table_of, (r.pos + 7) // 8


def read_frequencies(r):
    # entropy.md#the-tables: one table, its frequencies Rice-coded
    M = r.read(5) + 1
    if M > 29:
        corrupt(f"tANS: a table of {M} classes")
    f, total, k = [0] * 29, 0, 6
    for j in range(M - 1):
        q = 0
        while q < 16 and r.read(1) == 0:
            q += 1
        v = (q << k) | r.read(k) if q < 16 else r.read(11)
        total += v
        if total >= 1024:
            corrupt("tANS: a table's frequencies reach 1024")
        f[j] = v
        k = max(v.bit_length() - 1, 0)
    f[M - 1] = 1024 - total
    return f


def decoding_table(f):
    """entropy.md#spreading-a-table-over-the-states: for each state x, the
    class j, its state bits b, the mask of b bits and the base; the next
    state is base + the b bits read."""
    cls, at = [0] * 1024, 0
    for j in range(29):
        for _ in range(f[j]):
            cls[at] = j
            at = (at + 643) % 1024
    n, table = list(f), []
    for x in range(1024):
        j = cls[x]
        v = n[j]
        n[j] += 1
        b = 10 - (v.bit_length() - 1)
        table.append((j, b, (1 << b) - 1, (v << b) - 1024))
    return table


# entropy.md#tracker-context-and-shift: each class's step of the tracker, by context
TANS_STEP = [
    [0, 29, 47, 60, 71, 79, 86, 92, 100, 109, 116, 123, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 25, 42, 54, 64, 72, 79, 85, 93, 102, 109, 115, 123, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 21, 37, 49, 58, 66, 73, 79, 86, 95, 102, 108, 116, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 18, 33, 44, 53, 60, 66, 72, 79, 88, 95, 101, 108, 117, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 15, 29, 39, 47, 54, 60, 66, 73, 81, 88, 94, 101, 110, 117, 123, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 13, 25, 34, 42, 49, 54, 60, 66, 74, 81, 87, 94, 103, 110, 116, 124, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 11, 21, 30, 37, 43, 49, 54, 60, 68, 74, 80, 87, 95, 102, 109, 116, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 9, 18, 26, 33, 38, 44, 48, 54, 62, 68, 73, 80, 88, 95, 101, 109, 118, 125, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 7, 15, 22, 29, 34, 39, 43, 49, 56, 62, 67, 74, 82, 88, 94, 102, 110, 117, 124, 127, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 6, 13, 19, 25, 30, 34, 38, 44, 50, 56, 61, 67, 75, 82, 87, 95, 103, 110, 116, 124, 127, 127, 127, 127, 127, 127, 127, 127],
    [-3, 4, 11, 16, 21, 26, 30, 34, 39, 45, 50, 55, 61, 69, 75, 81, 88, 96, 103, 109, 117, 125, 127, 127, 127, 127, 127, 127, 127],
    [-3, 3, 9, 14, 18, 22, 26, 29, 34, 40, 45, 49, 55, 62, 69, 74, 81, 89, 96, 102, 109, 118, 125, 127, 127, 127, 127, 127, 127],
    [-3, 2, 7, 11, 15, 19, 22, 26, 30, 35, 40, 44, 50, 57, 62, 68, 74, 82, 89, 95, 102, 111, 118, 124, 127, 127, 127, 127, 127],
    [-3, 2, 6, 9, 13, 16, 19, 22, 26, 31, 35, 39, 45, 51, 56, 61, 68, 75, 82, 88, 95, 103, 110, 116, 124, 127, 127, 127, 127],
    [-3, 1, 4, 8, 11, 14, 16, 19, 22, 27, 31, 35, 40, 46, 51, 56, 62, 69, 75, 81, 88, 96, 103, 109, 117, 126, 127, 127, 127],
    [-3, 0, 3, 6, 9, 11, 14, 16, 19, 23, 27, 30, 35, 40, 45, 50, 56, 63, 69, 74, 81, 89, 96, 102, 110, 118, 125, 127, 127],
    [-3, 0, 2, 5, 7, 9, 11, 13, 16, 20, 23, 26, 31, 36, 40, 45, 50, 57, 63, 68, 75, 82, 89, 95, 102, 111, 118, 124, 127],
    [-3, -1, 2, 4, 6, 8, 9, 11, 14, 17, 20, 23, 27, 31, 36, 40, 45, 51, 57, 62, 68, 76, 82, 88, 95, 103, 110, 117, 119],
    [-3, -1, 1, 3, 4, 6, 8, 9, 11, 14, 17, 19, 23, 27, 31, 35, 40, 46, 51, 56, 62, 69, 76, 81, 88, 96, 103, 109, 112],
    [-3, -1, 0, 2, 3, 5, 6, 7, 9, 12, 14, 17, 20, 24, 27, 31, 35, 41, 46, 50, 56, 63, 69, 74, 81, 89, 96, 102, 105],
    [-3, -2, 0, 1, 2, 4, 5, 6, 8, 10, 12, 14, 17, 20, 24, 27, 31, 36, 41, 45, 51, 57, 63, 68, 75, 82, 89, 95, 98],
    [-3, -2, -1, 0, 2, 3, 4, 5, 6, 8, 10, 12, 14, 17, 20, 23, 27, 32, 36, 40, 45, 51, 57, 62, 68, 76, 82, 88, 91],
    [-3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 17, 20, 23, 28, 32, 35, 40, 46, 51, 56, 62, 69, 76, 81, 84],
    [-3, -2, -1, -1, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 17, 20, 24, 28, 31, 35, 41, 46, 50, 56, 63, 69, 74, 77],
    [-3, -2, -2, -1, 0, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 17, 21, 24, 27, 31, 36, 41, 45, 51, 57, 63, 68, 71],
    [-3, -2, -2, -1, -1, 0, 0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 18, 20, 23, 27, 32, 36, 40, 45, 52, 57, 62, 64],
    [-3, -2, -2, -2, -1, -1, 0, 0, 1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 17, 20, 23, 28, 32, 35, 40, 46, 51, 56, 58],
    [-3, -3, -2, -2, -1, -1, -1, 0, 0, 1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 17, 20, 24, 28, 31, 36, 41, 46, 50, 53],
    [-3, -2, -1, -1, 0, 1, 1, 2, 3, 4, 5, 7, 8, 10, 12, 14, 17, 21, 24, 27, 31, 36, 41, 45, 51, 57, 63, 68, 71],
    [-3, -2, -2, -1, 0, 0, 1, 1, 2, 3, 4, 5, 7, 9, 10, 12, 15, 18, 21, 23, 27, 32, 36, 40, 45, 52, 57, 62, 64],
    [-3, -2, -2, -1, -1, 0, 0, 1, 1, 2, 3, 4, 5, 7, 8, 10, 12, 15, 18, 20, 24, 28, 32, 35, 40, 46, 51, 56, 58],
    [-3, -2, -2, -2, -1, -1, 0, 0, 1, 1, 2, 3, 4, 5, 7, 8, 10, 13, 15, 17, 20, 24, 28, 31, 36, 41, 46, 50, 53],
]


# entropy.md#classes-and-values: each class's lowest z and its raw bits above the shift
BASE_Z = list(range(8)) + [(4 + (j - 8) % 4) << ((j - 8) // 4 + 1) for j in range(8, 28)]
BITS_Z = [0] * 8 + [(j - 8) // 4 + 1 for j in range(8, 28)]
# entropy.md#tracker-context-and-shift: the context and the shift of each
# lagged tracker T' (0 .. 2047)
TANS_CONTEXT = [q if q < 28 else 28 + q % 4 for q in (t >> 3 for t in range(2048))]
TANS_SHIFT = [min(max((t >> 5) - 6, 0), 26) for t in range(2048)]


def entropy_coder_3(data, m, blocks):
    """entropy.md#entropy-coder-3-tans: the tables, the streams' lengths,
    then a state stream and a raw stream for each unit of (at most) two
    coded channels."""
    if m == 0:
        return []
    tables, used = read_tables(LsbReader(data))
    units = [[i, i + 1] if i + 1 < m else [i] for i in range(0, m, 2)]
    count = 2 * len(units)                              # a state and a raw stream a unit
    at = used + 4 * (count - 1)
    if at > len(data):
        corrupt("tANS: no room for the streams' lengths")
    streams = []
    for i in range(count):
        length = u32(data, used + 4 * i) if i + 1 < count else len(data) - at
        if at + length > len(data):
            corrupt(f"tANS: stream {i} is longer than what is left of the payload")
        streams.append(data[at:at + length])
        at += length
    decoding, built = [], {}                            # by context; a shared table is built once
    for f in tables:
        if f is not None and id(f) not in built:
            built[id(f)] = decoding_table(f)
        decoding.append(built[id(f)] if f is not None else None)
    out = [None] * m
    for u, unit in enumerate(units):
        for ch, values in zip(unit, tans_unit(streams[2 * u], streams[2 * u + 1], decoding, len(unit), blocks)):
            out[ch] = values
    return out


def tans_unit(states, raw, decoding, K, blocks):
    """entropy.md#a-units-streams: the K (1 or 2) channels of a unit, sample
    by sample, channel by channel; the classes and shifts from the state
    stream first, then the raw bits. The state bits (at most 10) are read
    from three bytes, inline."""
    st, rw = LsbReader(states), LsbReader(raw)
    st.read(st.read(3))                                 # P, then P padding bits
    x = [st.read(10) for _ in range(K)]
    sdata, pos = st.data, st.pos
    T, Tl = [256] * K, [256] * K                        # T and T'
    classes = []                                        # each sample's (class, shift), channel by channel
    for i in range(blocks):
        for k in range(K):
            t = Tl[k]
            c = TANS_CONTEXT[t]
            table = decoding[c]
            if table is None:
                corrupt(f"tANS: sample {i} in context {c}, which has no table")
            j, b, mask, base = table[x[k]]
            Tl[k] = T[k]
            T[k] = (T[k] + TANS_STEP[c][j]) & 2047
            at = pos >> 3
            x[k] = base + (int.from_bytes(sdata[at:at + 3], "little") >> (pos & 7) & mask)
            pos += b
            classes.append((j, TANS_SHIFT[t]))
    if pos > st.size:
        corrupt("tANS: a state stream read past its end")
    if any(x):
        corrupt("tANS: a state other than 0 after the unit's last sample")
    out = [[] for _ in range(K)]
    read = rw.read
    for n, (j, s) in enumerate(classes):
        if j == 28:                                     # the escape: L - 1 in 5 bits, then L - 1 bits
            L = read(5) + 1
            u = (1 << (L - 1)) | read(L - 1)
        else:
            u = ((BASE_Z[j] << s) + read(BITS_Z[j] + s)) & 0xFFFFFFFF
        out[n % K].append((u >> 1) ^ -(u & 1))          # unzigzag
    if rw.overran():
        corrupt("tANS: a raw stream read past its end")
    return out


ENTROPY_CODERS = {0: entropy_coder_0, 1: entropy_coder_1, 2: entropy_coder_2, 3: entropy_coder_3}


# ======================================================================
# The command line

def read_file(path):
    with open(path, "rb") as src:
        return src.read()


def check_manifest(folder):
    """vectors/README.md#the-manifest: every vector gives its code, and a
    good one its PCM's MD5; every .ape file of the folder is listed."""
    failures, listed, started = 0, set(), time.monotonic()
    with open(os.path.join(folder, "manifest.txt"), encoding="utf-8") as manifest:
        lines = [line.split(" ", 4) for line in manifest if line.strip() and not line.startswith("#")]
    for name, code, code_name, md5, _ in lines:
        listed.add(name)
        want = (int(code), md5)
        try:
            got = (0, decode_file(read_file(os.path.join(folder, name)))[1])
            told = got[1]
        except Refused as refusal:
            got, told = (refusal.code, "-"), str(refusal)
        ok = got == want and CODE_NAMES.get(want[0]) == code_name
        failures += not ok
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {told}" + ("" if ok else f" (expected {code_name} {md5})"))
    unlisted = sorted(set(n for n in os.listdir(folder) if n.endswith(".ape")) - listed)
    for name in unlisted:
        print(f"FAIL {name}: not in the manifest")
    failures += len(unlisted)
    print(f"{len(lines)} vectors, {failures} failed, {time.monotonic() - started:.1f} s")
    return 1 if failures else 0


def main(argv):
    prog = os.path.basename(argv[0])
    args, source = argv[1:], None
    try:
        if len(args) == 2 and args[0] == "--check-manifest":
            return check_manifest(args[1])
        if len(args) >= 2 and args[0] == "--md5":
            for path in args[1:]:
                source = path
                print(f"{decode_file(read_file(path))[1]}  {path}")
            return 0
        if len(args) == 2 and not args[0].startswith("--"):
            source = args[0]
            wave = decode_file(read_file(source))[0]
            with open(args[1], "xb") as out:      # as Dovrell: never over an existing file
                out.write(wave)
            return 0
    except Refused as refusal:
        print(f"{prog}: {source}: refused: {refusal}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"{prog}: {error}", file=sys.stderr)
        return 1
    print(__doc__.split("\n\n", 1)[1].rstrip(), file=sys.stderr)
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
