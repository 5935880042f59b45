# Makes the disc behind docs/sam-screen-viewer.png: a copy of a MODE 4 SAM screen disc (e.g.
# tests/data/images/sam/sam_screen_mode4.mgt) whose picture is colour bars in a 16-colour palette.
# Usage: python3 docs/make-sam-screen-demo.py SOURCE.mgt NEW.mgt (NEW must not exist yet).
import sys
src, dst = sys.argv[1], sys.argv[2]
disc = bytearray(open(src, 'rb').read())

def offset(track_byte, sector):
    return ((track_byte & 0x7F) * 2 + (track_byte >> 7)) * 5120 + (sector - 1) * 512

entry = disc[0:256]
assert entry[0] & 0x3F == 20 and entry[221] == 3
chain = []
t, s = entry[13], entry[14]
while t or s:
    chain.append(offset(t, s))
    o = chain[-1]
    t, s = disc[o + 510], disc[o + 511]
stream = bytearray()
for o in chain:
    stream += disc[o:o + 510]
data = stream[9:9 + 24617]

def colour(r, g, b):
    return ((g >> 1) << 6) | ((r >> 1) << 5) | ((b >> 1) << 4) | ((g & 1) << 2) | ((r & 1) << 1) | (b & 1)

palette = [colour(*c) for c in [(0, 0, 0), (3, 0, 0), (3, 1, 0), (3, 2, 0), (3, 3, 0), (2, 3, 0), (0, 3, 0),
                                  (0, 3, 2), (0, 3, 3), (0, 2, 3), (0, 0, 3), (2, 0, 3), (3, 0, 3), (3, 0, 2),
                                  (1, 1, 1), (3, 3, 3)]]
def pixel(x, y):
    if y < 120:
        return x // 16
    if y < 128 or y >= 184:
        return 15 if (x // 8 + y // 8) % 2 else 14
    return ((x + y) // 12) % 14 + 1

for y in range(192):
    for xb in range(128):
        data[y * 128 + xb] = (pixel(2 * xb, y) << 4) | pixel(2 * xb + 1, y)
data[24576:24592] = bytes(palette)
data[24596:24612] = bytes(palette)
stream[9:9 + 24617] = data
for i, o in enumerate(chain):
    disc[o:o + 510] = stream[i * 510:(i + 1) * 510]
with open(dst, 'xb') as out:
    out.write(disc)
