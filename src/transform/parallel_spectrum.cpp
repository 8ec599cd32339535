#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "transform/passes.h"
#include "transform/transform.h"
#include "transform/twiddle.h"

// A long transform on several threads. Its work falls into parts that touch
// separate values, each part doing the same operations on the same values
// as the single thread does:
//   1. the permutation, tile by tile (bit_reverse_part);
//   2. every stage before the last sweep, region by region of the array:
//      a region holds whole groups of all those stages (stages_using);
//   3. the last sweep, range by range of its offsets (offset_sweep);
//   4. the split step and the rotation, chunk by chunk (finish_chunks).
// Each phase waits for the one before. What a single thread carries from
// one part to the next is the state of its recurrences, which run only in
// their own order. So one more thread runs each of those recurrences once,
// alongside phases 1 and 2, and leaves its state wherever a part of phases
// 3 and 4 takes it up: the rotation c_1 ... c_{M-1}, the split step's
// w_1 ... w_{M/2-1}, and the recurrences of the last sweep's stages. Its
// longest chain, the rotation's M steps, is a fraction of phases 1 and 2.

namespace {

const uint32_t kMostPieces = 64;  // of the last sweep's offsets, in phase 3

// What the recurrence thread leaves: the checkpoints of the final sweep
// (passes.h), all three kinds, and the starts of the last sweep's stages.
struct Chains {
    Checkpoints marks;
    Sweep last;
    uint32_t pieces;  // phase 3's pieces, last.h / pieces offsets each
    // Stream 2^s - 1 + k of run_to_offsets (stage 2^s h at the offset k*h)
    // at the start of piece p: w at 2(p*kMaxStreams + 2^s - 1 + k).
    double* stage_marks;
};

// The checkpoint ride beside the stage recurrences of the last sweep, in
// blocks of a piece of turns: turn i, two steps of the rotation (which has
// twice as many values to make) and one of each stage recurrence still
// going, finds the stage recurrences at offset i.
void run_chains(const Chains& chains) {
    const Sweep& last = chains.last;
    size_t piece = last.h / chains.pieces;
    // c_1 ... c_{M-1}: the last turn's second step has nothing to do.
    RideAlong along = {&chains.marks, chains.marks.M - 1, chains.marks.step};
    Riding riding = start_riding(&along);
    TwiddleRecurrence stage[kMaxSpan];
    for (uint32_t u = 0; u < last.span; ++u) {
        stage[u] = stage_recurrence(last.t + u);
    }
    for (size_t i = 0; i < chains.marks.M / 2; i += piece) {
        uint32_t going = 0;  // the first stage recurrence still going
        while ((last.h << going) <= i) {
            ++going;
        }
        for (uint32_t u = going; u < last.span; ++u) {
            size_t stream = (size_t{1} << u) - 1 + i / last.h;
            _mm_storeu_pd(chains.stage_marks + 2 * ((i % last.h) / piece * kMaxStreams + stream), stage[u].w);
        }
        switch (last.span - going) {
            case 3:
                run_together<3, 2>(stage + going, nullptr, piece, riding);
                break;
            case 2:
                run_together<2, 2>(stage + going, nullptr, piece, riding);
                break;
            default:
                run_together<1, 2>(stage + going, nullptr, piece, riding);
                break;
        }
    }
}

// A part of one of the phases.
struct Part {
    double* a;
    Vectors vectors;
    uint32_t first;  // the part's things: tiles, regions, pieces or chunks
    uint32_t end;
    uint32_t parts;
    const Chains* chains;
};

// Runs task on `things` shared out among at most `threads` parts, the
// caller's thread taking the first.
void run_shares(void (*task)(void*), const Part& whole, uint32_t things, uint32_t threads, ParallelRun run) {
    uint32_t count = threads < things ? threads : things;
    Part parts[kMostTransformThreads];
    void* contexts[kMostTransformThreads];
    for (uint32_t i = 0; i < count; ++i) {
        parts[i] = whole;
        parts[i].first = static_cast<uint32_t>(uint64_t{things} * i / count);
        parts[i].end = static_cast<uint32_t>(uint64_t{things} * (i + 1) / count);
        parts[i].parts = count;
        contexts[i] = &parts[i];
    }
    run(task, contexts, static_cast<int>(count));
}

// Phase 1: `first` is the index of the part.
void permute_part(void* context) {
    const Part& part = *static_cast<const Part*>(context);
    bit_reverse_part(part.a, part.chains->marks.M, part.first, part.parts);
}

// Phase 2: regions of the last sweep's h values.
void region_part(void* context) {
    const Part& part = *static_cast<const Part*>(context);
    size_t h = part.chains->last.h;
    stages_using(part.a, part.chains->marks.M, {part.first * h, part.end * h}, false, part.vectors, nullptr);
}

// Phase 3: pieces of the last sweep's offsets.
void offset_part(void* context) {
    const Part& part = *static_cast<const Part*>(context);
    const Chains& chains = *part.chains;
    const Sweep& last = chains.last;
    size_t piece = last.h / chains.pieces;
    const double* starts = chains.stage_marks + 2 * size_t{kMaxStreams} * part.first;
    offset_sweep_using(part.a, chains.marks.M, starts, {part.first * piece, part.end * piece}, part.vectors);
}

// Phase 4: chunks of the final sweep.
void chunk_part(void* context) {
    const Part& part = *static_cast<const Part*>(context);
    const Checkpoints& marks = part.chains->marks;
    const double* upper = marks.upper + 2 * (part.end - 1);
    Rotation c = {upper[0], upper[1], marks.step.cphi, marks.step.sphi};
    finish_chunks(part.a, marks, {part.first, part.end}, c, part.vectors);
}

// Phases 1 and 2, each on `threads` threads or as many as have a share;
// with no threads, the recurrence thread instead.
struct Front {
    Part whole;
    uint32_t threads;
    ParallelRun run;
};

void run_front(void* context) {
    const Front& front = *static_cast<const Front*>(context);
    if (front.threads == 0) {
        run_chains(*front.whole.chains);
        return;
    }
    run_shares(permute_part, front.whole, front.threads, front.threads, front.run);
    uint32_t regions = static_cast<uint32_t>(front.whole.chains->marks.M / front.whole.chains->last.h);
    run_shares(region_part, front.whole, regions, front.threads, front.run);
}

}  // namespace

void parallel_spectrum(double* a, uint32_t N, Rotation rotation, double dx, Vectors vectors,
                       const Workers& workers) {
    uint32_t M = N / 2;
    uint32_t half = M / 2;
    const int most = kMostTransformThreads;
    uint32_t threads = static_cast<uint32_t>(workers.count < most ? workers.count : most);
    Sweep plan[kMostSweeps];
    Sweep last = plan[plan_sweeps(M, kBlock, plan) - 1];
    uint32_t pieces = static_cast<uint32_t>(last.h / kChunk);
    pieces = pieces < kMostPieces ? pieces : kMostPieces;

    double lower[2 * kMaxMarks];
    double upper[2 * kMaxMarks];
    double splits[2 * kMaxMarks];
    double stage_marks[2 * kMaxStreams * kMostPieces];
    Chains chains = {
        {M, mark_spacing(half), rotation, split_start(N), lower, splits, upper}, last, pieces, stage_marks};
    Part whole = {a, vectors, 0, 0, 1, &chains};

    Front fronts[2] = {{whole, threads, workers.run}, {whole, 0, workers.run}};
    void* contexts[2] = {&fronts[0], &fronts[1]};
    workers.run(run_front, contexts, 2);

    run_shares(offset_part, whole, pieces, threads, workers.run);
    finish_end_values(a, dx);
    run_shares(chunk_part, whole, half / chains.marks.spacing, threads, workers.run);
}
