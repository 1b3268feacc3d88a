#include "frontend/ignored_options.h"

#include "image/ic_types.h"
#include "image/image_buffers.h"

namespace bw {
namespace {

constexpr const char* kFactoryOptions[] = {"--type",       "--line",    "--date",    "--sn",
                                           "--factory-no", "--station", "--rewrite", "--no-ledger"};

bool Given(const CLI::App& command, const std::string& name) {
    try {
        return command.count(name) > 0;
    } catch (const CLI::OptionNotFound&) {
        return false;  // the command does not have the option at all
    }
}

}  // namespace

std::vector<std::string> IgnoredOptions(const CLI::App& command, bool automatic,
                                        const DeviceOptions& options) {
    std::vector<std::string> lines;
    const std::string row(IcTypeAt(options.ic)->rowText);
    const bool report4 = options.ic == 0;
    const WriteParams& params = options.params;

    if (!report4) {
        if (Given(command, "--write-id"))
            lines.push_back("--write-id is ignored: " + row + " has no factory record");
        if (Given(command, "--total"))
            lines.push_back("--total is ignored: " + row +
                            " writes in at most two cycles of --retries attempts");
        if (Given(command, "--sleep") && !automatic)
            lines.push_back("--sleep is ignored: " + row + " makes no pause after the write");
        if (Given(command, "--blocks") && params.format == DataFormat::TwoK)
            lines.push_back("--blocks is ignored: " + row + " reads nothing back in 2k format");
    }
    if (!report4 || !params.writeId) {
        for (const char* name : kFactoryOptions) {
            if (!Given(command, name)) continue;
            lines.push_back(std::string(name) + " is ignored " +
                            (report4 ? "without --write-id" : "for " + row) +
                            ": no factory record is written");
        }
    }
    // The opt-out of the read-back is said every time, with what a pass then leaves unchecked.
    if (!params.verifyAfterWrite) {
        std::string what;
        if (!report4) {
            what = "a Write Pass means only that the " + row +
                   " mouse took the transfers: nothing is read back";
        } else if (params.format == DataFormat::TwoK && params.blocks < kBlockCount) {
            what = "a 2k write reads back only the first " + std::to_string(params.blocks) +
                   " of its " + std::to_string(kBlockCount) + " blocks";
        } else {
            what = "the " + row + " write still reads back every block it writes";
        }
        lines.push_back("--no-verify-after-write: " + what);
    }
    return lines;
}

}  // namespace bw
