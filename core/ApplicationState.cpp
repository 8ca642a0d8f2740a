#include "core/ApplicationState.h"

#include "core/ConfigurationBlock.h"

namespace vocomet {

std::string ApplicationState::ConfigurationFilePath() const { return vocomet::ConfigurationFilePath(tempFolder); }

}  // namespace vocomet
