#include "picture/TGraphic.h"

namespace vexil {

void TGraphic::LoadFromFile(const std::string &path) {
    TMemoryStream bytes;
    bytes.LoadFromFile(path);
    LoadFromStream(bytes);
}

void TGraphic::SaveToFile(const std::string &path) const {
    TMemoryStream bytes;
    SaveToStream(bytes);
    bytes.SaveToFile(path);
}

} // namespace vexil
