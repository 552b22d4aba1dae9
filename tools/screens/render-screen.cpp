// corvanta-render-screen <invitation|lobby|background> <width> <height> <out.png>
//     [--scale S] [--occupied 1101000011] [--noise N] [--blur K] [--brightness B] [--jpeg Q]
//     [--seed N]
//
// Writes one synthetic game screen, to look at or to feed a detector by hand. --occupied lists
// the ten slots left column first, 1 for taken; without it every slot is empty.
#include "SyntheticScreen.h"

#include <opencv2/imgcodecs.hpp>

#include <QString>
#include <QTextStream>

#include <cstdlib>
#include <exception>
#include <string>

namespace {

int usage(QTextStream &err)
{
    err << "usage: corvanta-render-screen <invitation|lobby|background> <width> <height> <out.png>\n"
           "         [--scale S] [--occupied 1101000011] [--noise N] [--blur K] [--brightness B]\n"
           "         [--jpeg Q] [--seed N]\n";
    return 2;
}

// Whole-string numbers only: "12px" is a mistake, not 12.
bool parseInt(const std::string &text, long long &value)
{
    char *end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0';
}

bool parseDouble(const std::string &text, double &value)
{
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0';
}

} // namespace

int main(int argc, char *argv[])
{
    QTextStream err(stderr);
    if (argc < 5)
        return usage(err);
    const std::string kind = argv[1];
    if (kind != "invitation" && kind != "lobby" && kind != "background")
        return usage(err);
    long long width = 0;
    long long height = 0;
    if (!parseInt(argv[2], width) || !parseInt(argv[3], height))
        return usage(err);
    const std::string out = argv[4];

    try {
        SyntheticScreen screen{cv::Size(int(width), int(height))};
        SyntheticScreen::SlotMask occupied{};
        for (int i = 5; i < argc; i += 2) {
            const std::string option = argv[i];
            if (i + 1 >= argc)
                return usage(err);
            const std::string value = argv[i + 1];
            long long number = 0;
            double real = 0;
            if (option == "--scale" && parseDouble(value, real)) {
                screen.setScale(real);
            } else if (option == "--noise" && parseDouble(value, real)) {
                screen.setNoise(real);
            } else if (option == "--blur" && parseInt(value, number)) {
                screen.setBlur(int(number));
            } else if (option == "--brightness" && parseInt(value, number)) {
                screen.setBrightness(int(number));
            } else if (option == "--jpeg" && parseInt(value, number)) {
                screen.setJpegQuality(int(number));
            } else if (option == "--seed" && parseInt(value, number) && number >= 0) {
                screen.setSeed(std::uint64_t(number));
            } else if (option == "--occupied" && value.size() == occupied.size()
                       && value.find_first_not_of("01") == std::string::npos) {
                for (size_t slot = 0; slot < occupied.size(); ++slot)
                    occupied[slot] = value[slot] == '1';
            } else {
                return usage(err);
            }
        }

        const cv::Mat frame = kind == "invitation" ? screen.renderInvitation()
            : kind == "lobby"                      ? screen.renderLobby(occupied)
                                                   : screen.renderBackground();
        if (!cv::imwrite(out, frame)) {
            err << "cannot write " << QString::fromStdString(out) << "\n";
            return 1;
        }
    } catch (const std::exception &error) {
        err << error.what() << "\n";
        return 1;
    }
    return 0;
}
