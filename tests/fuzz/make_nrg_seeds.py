#!/usr/bin/env python3
# Writes the seeds of nrg_image_fuzzer into nrg_image/: Nero images of every kind the reader
# knows, each given as the harness takes it (the length of its sound data in sectors, then
# the image's end from its track list on; the sound itself is left out).
import os
import struct

SECTOR = 2352
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'nrg_image')


def chunk(ident, data):
    return ident + struct.pack('>I', len(data)) + data


def bcd(value):
    return bytes([(value // 10) << 4 | value % 10])


def dao(tracks, pregaps, version2=True, cd_text=b''):
    """tracks: (sectors, audio); pregaps: before each track after the first."""
    cues, places = b'', struct.pack('<I', 0) + bytes(14) + struct.pack('>H', 0)
    places += bytes([1, len(tracks)])
    offset, lsn = 0, 0

    def cue(audio, track, index, at):
        head = bytes([0x01 if audio else 0x41]) + (b'\xaa' if track == 0xAA else bcd(track))
        head += bcd(index) + b'\0'
        if version2:
            return head + struct.pack('>i', at)
        at += 150
        return head + bytes([0, at // 4500, at // 75 % 60, at % 75])

    cues += cue(tracks[0][1], 0, 0, -150)
    for k, (sectors, audio) in enumerate(tracks):
        size = SECTOR if audio else 2048
        gap = 150 if k == 0 else pregaps[k - 1]
        cues += cue(audio, k + 1, 0, lsn - gap if k else -150)
        index0 = offset
        offset += gap * size
        lsn += 0 if k == 0 else gap
        cues += cue(audio, k + 1, 1, lsn)
        index1 = offset
        offset += sectors * size
        lsn += sectors
        width = '>Q' if version2 else '>I'
        places += bytes(12) + struct.pack('>H', size) + bytes([7 if audio else 0, 0, 0, 1])
        places += struct.pack(width, index0) + struct.pack(width, index1)
        places += struct.pack(width, offset)
    cues += cue(tracks[-1][1], 0xAA, 1, lsn)
    chain = chunk(b'CUEX' if version2 else b'CUES', cues)
    chain += chunk(b'DAOX' if version2 else b'DAOI', places)
    return finish(offset, chain, version2, cd_text)


def tao(tracks, version2=True):
    entries, offset, lsn = b'', 0, 0
    for sectors, audio in tracks:
        size = SECTOR if audio else 2048
        width = '>Q' if version2 else '>I'
        entries += struct.pack(width, offset) + struct.pack(width, sectors * size)
        entries += struct.pack('>II', 7 if audio else 0, lsn) + bytes(8 if version2 else 4)
        offset += sectors * size
        lsn += sectors
    return finish(offset, chunk(b'ETN2' if version2 else b'ETNF', entries), version2, b'')


def finish(sound_bytes, chain, version2, cd_text):
    # The sound is a whole number of sectors of 2352 bytes in these seeds.
    sound_bytes = (sound_bytes + SECTOR - 1) // SECTOR * SECTOR
    if cd_text:
        chain += chunk(b'CDTX', cd_text)
    chain += chunk(b'SINF', struct.pack('>I', 1)) + chunk(b'MTYP', struct.pack('>I', 1))
    chain += chunk(b'END!', b'')
    trailer = b'NER5' + struct.pack('>Q', sound_bytes) if version2 else \
        b'NERO' + struct.pack('>I', sound_bytes)
    return struct.pack('>I', sound_bytes // SECTOR) + chain + trailer


def write(name, data):
    with open(os.path.join(here, name), 'wb') as out:
        out.write(data)


os.makedirs(here, exist_ok=True)
three = [(300, True), (225, True), (350, True)]
write('disc-at-once', dao(three, [0, 75]))
write('disc-at-once-before-nero-5.5', dao(three, [40, 0], version2=False))
write('disc-at-once-with-cd-text', dao(three, [2, 2], cd_text=bytes(range(18)) * 4))
write('mixed-mode', dao([(400, False), (300, True)], [150]))
write('track-at-once', tao(three))
write('track-at-once-before-nero-5.5', tao([(300, True), (100, False)], version2=False))
