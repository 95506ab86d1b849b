// Mu-law: 16-bit samples to 8-bit codes and back (G.711, bias 132, clip 32635).
#pragma once

// Encodes inBytes / 2 samples into as many codes. Returns 0.
int mUlawEncode(const short *in, unsigned inBytes, unsigned char *out);
// Decodes count codes into count samples. Returns 0.
int mUlawDecode(const unsigned char *in, unsigned count, short *out);
