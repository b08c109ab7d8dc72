#include "block_pipeline.h"

#include "cli/common/interrupt.h"

namespace {

Status flow_from(std::vector<Stage> &stages, std::size_t first, Block &block)
{
    for (std::size_t i = first; i < stages.size(); ++i)
        if (Status status = stages[i].flow(block); !status.ok())
            return status;
    return success();
}

} // namespace

Status run_pipeline(const Source &source, std::vector<Stage> &stages, const PipelineRun &run, int64_t &frames_read)
{
    frames_read = 0;
    Block block;
    for (;;) {
        if (interrupted_signal() != 0)
            return interrupted_failure(run.what);
        block.clear();
        if (Status status = source(block, kBlockFrames); !status.ok())
            return status;
        const int64_t frames = block.frames();
        if (frames == 0)
            break;
        frames_read += frames;
        if (Status status = flow_from(stages, 0, block); !status.ok())
            return status;
        if (run.on_block)
            run.on_block(frames_read);
    }
    for (std::size_t i = 0; i < stages.size(); ++i) {
        if (!stages[i].drain)
            continue;
        block.clear();
        if (Status status = stages[i].drain(block); !status.ok())
            return status;
        if (block.frames() > 0)
            if (Status status = flow_from(stages, i + 1, block); !status.ok())
                return status;
    }
    return success();
}
