// overprint: lays a text report onto the pages of a PDF form.
#include <string>
#include <vector>

#include "overprint/Driver.h"
#include "overprint/TextStages.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    auto stages = tarn::overprint::MakeTextStages();
    return tarn::overprint::RunOverprint(args, *stages);
}
