// The run: paths, load, parse, check, pad, transform, write.
#pragma once

// Runs once and returns the process exit code: 1 after a written output
// file, 0 after a failure (shown as a message) or a cancelled dialog. The
// steps run on worker_count(FFTEXT_THREADS, processor count) threads.
int run_transform();
