#!/usr/bin/env python3
"""The format document's second decoder (docs/format/ape_decode.py), run as
a user runs it.

  check_second_decoder.py vectors DECODER VECTORS_DIR
      every vector of the manifest to its PCM's MD5 or its result code;
      the command line's refusal and --md5 once each
  check_second_decoder.py fennick DECODER FENNICK DOVRELL LIBRARY SAMPLE_SCRIPT WORK_DIR
      short samples coded by Fennick at every level decode to the very
      WAVE bytes Dovrell writes (and the source's)
"""
import os
import subprocess
import sys
import tempfile
import time

LEVELS = ("Fast", "Normal", "High", "Extrahigh")
# (name, make-sample-wave arguments): each bit size the samples come in
SAMPLES = (
    ("stereo16", ["--seconds", "0.5"]),
    ("mono24", ["--seconds", "0.25", "--channels", "1", "--bits", "24"]),
    ("stereo8", ["--seconds", "0.25", "--bits", "8"]),
)


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def fail(message):
    print(f"FAILED: {message}")
    sys.exit(1)


def check_vectors(decoder, vectors):
    started = time.monotonic()
    result = run([sys.executable, decoder, "--check-manifest", vectors])
    print(result.stdout + result.stderr, end="")
    if result.returncode != 0:
        fail("the manifest's vectors")
    with tempfile.TemporaryDirectory() as work:
        out = os.path.join(work, "out.wav")
        refused = run([sys.executable, decoder, os.path.join(vectors, "bad-frame-crc.ape"), out])
        if refused.returncode != 1 or "APE_ERROR_FRAME_CRC" not in refused.stderr or os.path.exists(out):
            fail(f"a refusal must exit 1, name its code and write nothing: {refused.stderr}")
    md5 = run([sys.executable, decoder, "--md5", os.path.join(vectors, "base-16b-2ch.ape")])
    if not md5.stdout.startswith("03e8b1697a689c706da7ceabec210697 "):
        fail(f"--md5 printed {md5.stdout!r}")
    print(f"vectors: {time.monotonic() - started:.1f} s")


def check_fennick(decoder, fennick, dovrell, library, sample_script, work_dir):
    os.makedirs(work_dir, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=work_dir) as work:
        home = os.path.join(work, "home")             # the programs load the library from here
        os.makedirs(os.path.join(home, ".local", "lib"))
        os.symlink(library, os.path.join(home, ".local", "lib", os.path.basename(library)))
        env = dict(os.environ, HOME=home, LC_ALL="C")
        python_seconds = 0.0
        for name, sample_args in SAMPLES:
            wave = os.path.join(work, f"{name}.wav")
            if run([sys.executable, sample_script, wave] + sample_args).returncode != 0:
                fail(f"make-sample-wave {name}")
            with open(wave, "rb") as source:
                original = source.read()
            for level in LEVELS:
                ape = os.path.join(work, f"{name}-{level}.ape")
                for args in ([fennick, f"-Level={level}", wave, ape],
                             [dovrell, ape, ape + ".dovrell.wav"]):
                    done = run(args, env=env)
                    if done.returncode != 0:
                        fail(f"{' '.join(args)}: {done.stdout}{done.stderr}")
                started = time.monotonic()
                done = run([sys.executable, decoder, ape, ape + ".python.wav"])
                python_seconds += time.monotonic() - started
                if done.returncode != 0:
                    fail(f"{name} at {level}: {done.stderr}")
                with open(ape + ".dovrell.wav", "rb") as d, open(ape + ".python.wav", "rb") as p:
                    dovrell_wave, python_wave = d.read(), p.read()
                if python_wave != dovrell_wave or python_wave != original:
                    fail(f"{name} at {level}: the WAVE file differs from Dovrell's or the source")
                print(f"ok   {name} at {level}")
        print(f"Fennick's files: {python_seconds:.1f} s in the second decoder")


def main(argv):
    if len(argv) == 4 and argv[1] == "vectors":
        check_vectors(*argv[2:])
    elif len(argv) == 8 and argv[1] == "fennick":
        check_fennick(*argv[2:])
    else:
        fail(__doc__)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
