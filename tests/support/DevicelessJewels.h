#pragma once

#include "jewels/JewelManager.h"

namespace tovel_test {

// Installs a jewel manager with a pool of columns but no device or library as the process's own,
// deleting the one it replaces; null when its pool cannot be made.
inline CJewelManager* InstallDevicelessJewels() {
    auto* jewels = new CJewelManager();
    jewels->m_meshCount = 5;
    jewels->m_averageSize = 1.0f;
    if (FAILED(jewels->CreateTasks())) {
        delete jewels;
        return nullptr;
    }
    delete CJewelManager::SetInstance(jewels);
    return jewels;
}

}  // namespace tovel_test
