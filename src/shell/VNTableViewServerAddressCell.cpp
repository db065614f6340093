#include "shell/VNTableViewServerAddressCell.h"

namespace qx {

void VNTableViewServerAddressCell::buildContent() {
    VNTableViewTextFieldCell::buildContent();
    placeField(plat::Rect{90, 7, 220, 30});
    auto& field = cellTextField();
    field.setTextAlignment(plat::TextAlignment::Left);
    field.setKeyboardType(plat::KeyboardType::URL);
    field.setAutocapitalizationType(plat::AutocapitalizationType::None);
    field.setAutocorrection(false);
    field.setClearButtonMode(plat::ClearButtonMode::WhileEditing);
}

}  // namespace qx
