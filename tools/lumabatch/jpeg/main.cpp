// lumabatch-jpeg-reader: the tool's image reader for everyday JPEG photos, on libjpeg alone;
// every file it does not take on goes to lumabatch-reader (libvips).

#include "direct_jpeg.h"
#include "lumabatch/inside/mapped_file.h"
#include "lumabatch/inside/worker_loop.h"

#include <sys/prctl.h>

int main(int argc, char** argv) {
    using namespace pxw::lumabatch;
    if (!adoptedByTool(argc, argv))
        return WorkerSetupFailed;
    ::prctl(PR_SET_NAME, "image-reader");
    return serveRequests(
        argv[2], [] {},
        [](int sourceFd, const WorkerRequest& request) -> WorkerReply {
            try {
                const MappedFile file(sourceFd);
                return convertJpegDirectly(file.data(), file.size(), request.settings);
            } catch (const std::exception& error) {
                return { WorkerOutcome::Unsupported, error.what() };
            }
        });
}
