#pragma once

namespace pxw::lumabatch {

/// The main of an image reader worker: `lumabatch-reader --image-reader-worker FOLDER PARENT`.
/// It sandboxes itself (FOLDER is its private temporary folder), then converts the images the
/// tool sends over descriptor 3, one at a time, until the tool closes the channel. Started
/// with `--image-reader-starter` instead, it forks such workers on the tool's request.
int runImageReaderWorker(int argc, char** argv);

} // namespace pxw::lumabatch
