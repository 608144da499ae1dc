// lumabatch-reader: the image reader worker the tool starts for its batches (libvips, with
// libtiff as the second reader of TIFF files).

#include "worker.h"

int main(int argc, char** argv) {
    return pxw::lumabatch::runImageReaderWorker(argc, argv);
}
