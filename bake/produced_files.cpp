#include "bake/produced_files.h"

std::vector<ProducedFile>& ProducedFiles() {
    // Moves into the network render object once network submission exists.
    static std::vector<ProducedFile> files;
    return files;
}
