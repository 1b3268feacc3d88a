#include "frontend/command_image.h"

#include "image/bin_file.h"
#include "image/ic_types.h"
#include "image/image_identity.h"
#include "os/utf8_path.h"
#include "production/result_text.h"

namespace bw {

std::string ImageName(const std::string& file) {
    return Utf8FromPath(PathFromUtf8(file).filename());
}

std::optional<int> LoadCommandImage(const std::string& file, const DeviceOptions& options,
                                    StationState& station, std::ostream& out, std::ostream& err,
                                    Reason* refusal) {
    (void)out;
    // A file that is no image is the station's error, never the mouse's: exit 2, not 4.
    Image loaded{};
    const BinLoadResult load = LoadBinFile(file, loaded);
    if (load.error != BinLoadError::None) {
        err << file << ": " << load.reason << "\n";
        if (refusal != nullptr)
            *refusal = MakeReason(ReasonCode::BadImage, file + ": " + load.reason);
        return exitcode::Usage;
    }
    const ImageIdentity identity = IdentifyImage(loaded);
    if (options.approvedSha256) {
        const std::string problem =
            ApprovalFailure(ImageName(file), identity, *options.approvedSha256);
        if (!problem.empty()) {
            err << problem << "\n";
            if (refusal != nullptr) {
                *refusal = MakeReason(ReasonCode::NotApproved, problem,
                                      {{"sha256", identity.sha256Hex()}});
            }
            return exitcode::Usage;
        }
    }
    // The IC type given stands for the type the image was loaded under.
    station.loadImage(loaded, std::string(IcTypeAt(options.ic)->rowText), identity);
    if (!options.quiet) {
        err << "image " << file << "  sha256 " << identity.sha256Hex() << "  crc32 "
            << identity.crc32Hex() << "\n";
    }
    return std::nullopt;
}

}  // namespace bw
