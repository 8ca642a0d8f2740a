#include <gtest/gtest.h>

#include "app/ui/QtUserPrompts.h"

namespace vocomet {
namespace {

TEST(QtUserPrompts, FiltersBecomeQtFormAndMatchEitherCase) {
    EXPECT_EQ(ToQtFilter("Vocomet files (*.vcm)|*.vcm|Wave files (*.wav)|*.wav|ASCII files (*.*)|*.*|"),
              QStringLiteral("Vocomet files (*.vcm *.VCM);;Wave files (*.wav *.WAV);;ASCII files (*)"));
    EXPECT_EQ(ToQtFilter("AIFF files (*.aiff; *.*)|*.aiff; *.*|"), QStringLiteral("AIFF files (*.aiff *.AIFF *)"));
    EXPECT_EQ(ToQtFilter("Configuration files (*.cfg)"), QStringLiteral("Configuration files (*.cfg)"));
}

}  // namespace
}  // namespace vocomet
