#include "tuning/Temperaments.h"

namespace Temperaments {

namespace {

constexpr const char* kNames[kUser] = {
    "Equal",
    "Just",
    "Kirnberger",
    "Pythagorean",
    "Valotti + Young",
    "Werckmeister III",
    "Meantone 1/4 comma",
    "Meantone 1/5 comma",
    "Bagpipe",
    "Chinese Lu",
    "W. Carlos Super Just",
    "W. Carlos Harmonic",
    "Pentatonic",
    "Heptatonic",
};

// Twelve degrees in cents above degree 0, octave last. Every value has a decimal point so that the
// Scala reader takes it as cents.
constexpr const char* kTexts[kUser] = {
    nullptr,
    "Just\n 12\n 111.7313\n 203.9100\n 315.6414\n 386.3139\n 498.0452\n 582.5125\n 701.9553\n"
    " 813.6866\n 884.3591\n 1015.96\n 1088.269\n 1200.0",
    "Kirnberger\n 12\n 90.225\n 193.849\n 294.135\n 386.314\n 498.045\n 590.224\n 696.663\n"
    " 792.180\n 889.650\n 996.091\n 1088.269\n 1200.0",
    "Pythagorean\n 12\n 113.685\n 203.91\n 294.1351\n 407.8201\n 498.0452\n 611.7302\n"
    " 701.9553\n 815.6403\n 905.8654\n 996.0905\n 1109.775\n 1200.0",
    "Valotti + Young\n 12\n 94.135\n 196.090\n 298.045\n 392.180\n 501.955\n 592.180\n"
    " 698.045\n 796.090\n 894.135\n 1000.0\n 1090.225\n 1200.0",
    "Werckmeister III\n 12\n 90.225\n 192.180\n 294.135\n 390.225\n 498.045\n 588.270\n"
    " 696.090\n 792.180\n 888.270\n 996.09\n 1092.180\n 1200.0",
    "Meantone 1/4 comma\n 12\n 85.720\n 194.940\n 305.672\n 390.837\n 502.067\n 587.593\n"
    " 696.578\n 782.559\n 892.091\n 1003.122\n 1088.503\n 1200.0",
    "Meantone 1/5 comma\n 12\n 83.576\n 195.307\n 307.039\n 390.615\n 502.346\n 585.922\n"
    " 697.654\n 781.230\n 892.961\n 1004.693\n 1088.269\n 1200.0",
    "Bagpipe\n 12\n 29.850\n 187.682\n 256.597\n 343.091\n 493.957\n 548.649\n 684.729\n"
    " 729.879\n 871.949\n 985.799\n 1049.363\n 1200.0",
    "Chinese Lu\n 12\n 98.955\n 203.910\n 315.641\n 394.347\n 498.045\n 608.352\n 701.955\n"
    " 800.910\n 905.865\n 1017.596\n 1106.397\n 1200.0",
    "W. Carlos Super Just\n 12\n 104.9554\n 203.9100\n 315.6414\n 386.3139\n 498.0452\n"
    " 551.3181\n 701.9553\n 840.5280\n 884.3591\n 968.8264\n 1088.269\n 1200.0",
    "W. Carlos Harmonic\n 12\n 104.9554\n 203.9100\n 297.5131\n 386.3139\n 470.7811\n"
    " 551.3181\n 701.9553\n 840.5280\n 905.8654\n 968.8264\n 1088.269\n 1200.0",
    "Pentatonic\n 12\n 0.0\n 200.0\n 200.0\n 500.0\n 500.0\n 500.0\n 700.0\n 700.0\n 900.0\n"
    " 900.0\n 1200.0\n 1200.0",
    "Heptatonic\n 12\n 129.0\n 129.0\n 300.0\n 300.0\n 472.0\n 643.0\n 643.0\n 814.0\n 814.0\n"
    " 986.0\n 1157.0\n 1157.0",
};

}  // namespace

const char* Name(int index) { return index >= 0 && index < kUser ? kNames[index] : ""; }

const char* ScaleText(int index) { return index >= 1 && index < kUser ? kTexts[index] : nullptr; }

}  // namespace Temperaments
