#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

Run from anywhere: python3 fuzz/make_seeds.py. The decode seeds need sox.
Every seed is small (well under 4 KiB), so the fuzzers start from inputs
that already pass the formats' first checks.
"""
import math
import os
import shutil
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")

# (name, struct code, default) in block order; 'x' fields are padding.
FIELDS = [
    ("enable_global", "b", 1), ("pad_1", "x", 0), ("chain_index", "h", 0),
    ("preamp", "i", 128), ("superbass", "i", 0), ("dewoofer", "i", 64), ("fidelity", "i", 64),
    ("enable_3dsurround", "b", 1), ("enable_extspace", "b", 0), ("enable_extfx", "b", 0),
    ("enable_vs", "b", 0), ("enable_bw", "b", 0), ("pad_25", "x", 0),
    ("_3dsurround_mode", "h", 1), ("_3dsurround_depth", "i", 256), ("_3dsurround_bass", "i", 256),
    ("extspace_mode", "h", 1), ("extfx_mode", "h", 1), ("extfx_space", "i", 86), ("extfx_center", "i", 86),
    ("vs_mode", "h", 1), ("pad_50", "xx", 0), ("vs_overdrive", "i", 128), ("vs_intensity", "i", 86),
    ("spc_swapstereo", "b", 0), ("spc_phaseinvert", "b", 0), ("spc_mode", "h", 0),
    ("spc_debass", "i", 256), ("spc_detube", "i", 256), ("spc_mid", "i", 86), ("spc_high", "i", 86),
    ("bw_mode", "h", 1), ("pad_82", "xx", 0), ("bw_fq", "i", 3600), ("bw_value", "i", 51), ("bw_sigpreamp", "i", 128),
]

ALL_ON = dict(enable_extspace=1, enable_extfx=1, enable_vs=1, enable_bw=1, spc_mode=1, superbass=160,
              _3dsurround_mode=3, extspace_mode=2, chain_index=3)
OUT_OF_RANGE = dict(enable_extspace=1, enable_extfx=1, enable_vs=1, enable_bw=1, spc_mode=1, chain_index=-7,
                    _3dsurround_mode=32767, preamp=100000, superbass=-5, vs_intensity=1 << 30, bw_fq=0,
                    bw_mode=-1, spc_high=-2147483648, extspace_mode=2)


def block(order, **changes):
    values = []
    fmt = order
    for name, code, default in FIELDS:
        fmt += code
        if "x" not in code:
            values.append(changes.get(name, default))
    data = struct.pack(fmt, *values)
    assert len(data) == 96
    return data


def preset(order, marker, params, length=96):
    return b"KORVA551" + marker + struct.pack(order + "i", length) + params


def write(target, name, data):
    os.makedirs(os.path.join(CORPUS, target), exist_ok=True)
    with open(os.path.join(CORPUS, target, name), "wb") as f:
        f.write(data)


def audio(frames, seed=1):
    out = bytearray()
    for n in range(frames):
        left = int(12000 * math.sin(2 * math.pi * 220 * n / 44100) + 3000 * math.sin(n * 0.9 + seed))
        right = int(9000 * math.sin(2 * math.pi * 330 * n / 44100))
        out += struct.pack("<hh", left, right)
    return bytes(out)


def presets():
    write("preset", "defaults-le.kp", preset("<", b"LE", block("<")))
    write("preset", "all-on-be.kp", preset(">", b"BE", block(">", **ALL_ON)))
    write("preset", "out-of-range-le.kp", preset("<", b"LE", block("<", **OUT_OF_RANGE)))
    write("preset", "short.kp", preset("<", b"LE", block("<"))[:60])
    write("preset", "bad-length.kp", preset("<", b"LE", block("<"), length=95))


def engine():
    # params, rate, split count, split points, audio
    def seed(params, rate, cuts, frames):
        return params + struct.pack("<iB", rate, len(cuts)) + b"".join(struct.pack("<H", c) for c in cuts) + audio(frames)
    write("engine", "defaults-44100", seed(block("<"), 44100, [100, 300], 600))
    write("engine", "all-on-48000", seed(block("<", **ALL_ON), 48000, [1, 256, 257], 700))
    write("engine", "all-on-8000", seed(block("<", **ALL_ON), 8000, [17], 400))
    write("engine", "out-of-range-rate-0", seed(block("<", **OUT_OF_RANGE), 0, [5, 5, 300], 500))
    write("engine", "negative-rate", seed(block("<", **ALL_ON), -96000, [], 300))


def config():
    keys = "\n".join(f"xmkorva_{name}={default}" for name, code, default in FIELDS if "x" not in code)
    text = f"[xmms]\noutput_plugin=libALSA.so\n\n[xmkorva-5]\n{keys}\nxmkorva_last_preset_file=~/warm.kp\n"
    ops = bytes([0xFF, 0x01, 3, 0, 0x10, 0, 0, 0, 0x00, 1, 1, 5]) + b"hello"
    write("config", "player-config", text.encode() + ops)
    write("config", "crlf-and-junk", b"junk line\r\n[a]\r\nk = v \r\n[broken\r\nx=1\r\n[a]\r\nk=second")
    write("config", "writes-only", b"\xff" + bytes([0x81, 3]) + b"new" + bytes([2]) + b"k1" + struct.pack("<i", -5)
          + bytes([0x80, 4]) + b"sec]" + bytes([3]) + b"k=2" + bytes([4]) + b"text")
    write("config", "empty", b"")


def fragment():
    controls = "\n".join(f'      "{name}" = {default}' for name, code, default in FIELDS if "x" not in code)
    write("fragment", "installed", (
        "# Korva as a PipeWire sink\ncontext.modules = [\n  { name = libpipewire-module-filter-chain\n"
        "    flags = [ nofail ]\n    args = {\n      node.description = \"Korva\"\n      filter.graph = {\n"
        "        nodes = [ {\n          type = ladspa name = korva\n"
        "          plugin = \"/usr/lib/ladspa/korva.so\" label = korva\n          control = {\n"
        f"{controls}\n          }}\n        }} ]\n      }}\n      audio.position = [ FL FR ]\n    }}\n  }}\n]\n").encode())
    write("fragment", "hand-edited", (
        'a = [ { label = korva, plugin: "/p/My \\"k\\".so" control = { preamp: "128" # x\n'
        '  superbass=10, bw_fq = 3600 } } ]\n').encode())
    write("fragment", "brace-on-same-line", b"n = { label = korva control = { vs_mode = 1 } }\x07")


def profiles():
    write("profiles", "written", b'# Korva: a preset per output device\n'
          b'profile "alsa_output.pci:[Out] Headphones" "Headphones"\nprofile "spk" "/home/me/warm.kp"\n'
          b'fallback "Flat"\n')
    write("profiles", "hand-edited", b'\n  # mine\n\tprofile  "a \\"q\\" b"\t"Late night"  \n\nfallback "x"')


def follow_state():
    write("follow_state", "state", b"pipewire: connected\nsink: connected\noutput: alsa_output.pci\n"
          b"route: [Out] Headphones\nprofile: alsa_output.pci\npreset: Headphones\napplied: yes\nproblem:\n")
    write("follow_state", "applied", b'# korva sink follow: the output whose profile was last applied\n'
          b'output "alsa_output.pci" "-"\npreset "/home/me/warm.kp"\n')


def sink_apps():
    write("sink_apps", "written", b'# Korva: programs whose streams bypass Korva\n'
          b'exclude "zoom"\nexclude "Discord"\n\x03')
    write("sink_apps", "hand-edited", b'\n  # mine\n\texclude  "a \\"q\\" b"  \n\nexclude "ZOOM"\nexclude "zoom"\x02')


def preset_index():
    write("preset_index", "index.txt", b"# Korva's factory presets\nflat.kp\tFlat\tEvery effect off\n"
          b"laptop-speakers.kp\tLaptop speakers\tBass 3 dB down\twith a tab\r\n")


def decode():
    sox = shutil.which("sox")
    if sox is None:
        print("sox not found: decode seeds not written")
        return
    with tempfile.TemporaryDirectory() as tmp:
        made = [
            ("stereo.wav", ["-r", "44100", "-c", "2", "-b", "16"], "sine 440"),
            ("mono.au", ["-r", "8000", "-c", "1", "-b", "16"], "square 300"),
            ("stereo.aiff", ["-r", "22050", "-c", "2", "-b", "16"], "sine 1000"),
            ("float.wav", ["-r", "48000", "-c", "2", "-e", "floating-point", "-b", "32"], "sine 50"),
            ("stereo.flac", ["-r", "44100", "-c", "2", "-b", "16"], "sine 440"),
            ("three-channels.wav", ["-r", "44100", "-c", "3", "-b", "16"], "sine 440"),
        ]
        for name, fmt, synth in made:
            path = os.path.join(tmp, name)
            subprocess.run([sox, "-n"] + fmt + [path, "synth", "0.005"] + synth.split() + ["vol", "0.5"],
                           check=True)
            with open(path, "rb") as f:
                # First byte: output type and stage switches for the target.
                write("decode", name, bytes([0x11 + len(name) % 4]) + f.read())


if __name__ == "__main__":
    shutil.rmtree(CORPUS, ignore_errors=True)
    presets()
    engine()
    config()
    fragment()
    profiles()
    follow_state()
    sink_apps()
    preset_index()
    decode()
    for target in sorted(os.listdir(CORPUS)):
        files = os.listdir(os.path.join(CORPUS, target))
        print(f"{target}: {len(files)} seeds")
