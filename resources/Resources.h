// Sortilex's dialog templates, pictures and string table.
#pragma once

#include "ui/Resource.h"

namespace sx {

const ui::ResourceTable& AppResources();

}  // namespace sx
