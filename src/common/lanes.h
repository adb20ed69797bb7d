#pragma once
// Lanes: host threads that drive solvers side by side, as the race of `auto`
// does. A background lane takes only what the other lanes leave of the cores.

// Makes the calling thread a background lane: it runs at the lowest OS
// priority, and on the host backend its kernels and Thrust calls run on the
// thread alone instead of on the shared workers, so a foreground lane keeps
// every core it can use and the background one fills the idle ones. Lasts
// for the thread's life: call it on a thread made for the lane.
void enter_background_lane();
