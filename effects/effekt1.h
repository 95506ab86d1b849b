// effekt1: the rippling picture that turns into a ray-cast tunnel.
#pragma once

// Reads the three pictures and sets up the screen mesh. Returns 1, or 0 when
// a picture cannot be read or allocated (picture_error() tells which and
// why; nothing stays allocated).
int init_effekt1(int width, int height);
// Ripple until the music sends sync 1, tunnel until sync 3, then a 128-frame
// fade-out.
void effekt1();
void close_effekt1();
// The overlay picture for a position value, or nothing.
void draw_pics(float position);

// The CPU work of one frame, without drawing, for timing: the wave field and
// ripple mesh of the ripple phase, the tunnel rays of the tunnel phase.
void effekt1_ripple_work(float phase);
void effekt1_tunnel_work(float tunnel_time);
