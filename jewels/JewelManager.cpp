#include "jewels/JewelManager.h"

namespace {

template <class T>
void ReleaseAndNull(T*& object) {
    if (object) {
        object->Release();
        object = nullptr;
    }
}

}  // namespace

CJewelManager::~CJewelManager() {
    m_meshes.reset();
    ReleaseAndNull(m_vertexBuffer);
    ReleaseAndNull(m_indexBuffer);
    ReleaseAndNull(m_vertexDecl);
}
