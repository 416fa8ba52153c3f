#pragma once
// Stand-in start-up until the controller's own arrives: periodic threads shaped like the
// controller's tasks, with a heartbeat line on the console every 10 seconds.

// Start-up hook for kernel::Kernel::Start.
void KernelDemoDefine(void* first_unused_memory);
