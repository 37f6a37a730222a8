// Writes pictures of the runs of picture_runs.h into the folder given, for the
// browser test to load: NAME.svg each.

#include "picture_runs.h"

#include <cstdio>
#include <string>

using namespace kelvane;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: run_picture_samples FOLDER\n");
        return 2;
    }
    PicturePoint one;
    one.latitude = 51.5;
    one.longitude = -0.12;
    one.elevation = 11;
    const struct {
        const char *name;
        picture_runs::Points points;
        PictureFacts facts;
    } samples[] = {
        {"loop", picture_runs::Loop(), {"Running", "2024-06-01 07:12", 10020, 3133, 85}},
        {"north", picture_runs::Loop(3000, 78.22, 15.65), {"Hiking", "2024-07-14 10:05"}},
        {"antimeridian", picture_runs::OverTheAntimeridian(), {"Walking", "2024-06-01 19:12"}},
        {"treadmill", picture_runs::Treadmill(), {"Treadmill", "2024-06-02 18:30", 8000, 3598}},
        {"no-points", {}, {"Running", "2024-06-03 06:00"}},
        {"one-point", {one}, {"Trail & \"hill\" <run>'s", "2024-06-04 12:00"}},
        {"one-place", picture_runs::OnePlace(), {"Running", "2024-06-05 12:00"}},
        {"ultra",
         picture_runs::Ultra(),
         {"Trail running", "2024-08-30 18:00", kNoValue, 99000, 9800}},
    };
    RunPicture picture;
    std::string svg;
    for (const auto &sample : samples) {
        picture.draw(sample.points, sample.facts, svg);
        const std::string path = std::string(argv[1]) + "/" + sample.name + ".svg";
        std::FILE *file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(svg.data(), 1, svg.size(), file) != svg.size() ||
            std::fclose(file) != 0) {
            std::fprintf(stderr, "run_picture_samples: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
