#include "jewels/JewelLibrary.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "container/ContainerFile.h"
#include "jewels/JewelBuffers.h"
#include "jewels/JewelFolder.h"
#include "jewels/JewelManager.h"
#include "jewels/JewelMesh.h"
#include "platform/system/InstallDirectory.h"
#include "platform/window/MessageBox.h"
#include "platform/system/SystemServices.h"
#include "platform/window/Window.h"

using namespace platform;

namespace {

namespace fs = std::filesystem;

// A fatal start-up problem: the user is told, the frame loop ends at its first iteration and the
// program with the status of a failure.
HRESULT Refuse(const std::string& text) {
    MessageBox(text);
    PostQuitMessage(kFailureExitCode);
    return E_INVALIDARG;
}

// "a", "a and b", "a, b and c".
std::string JoinList(const std::vector<std::string>& items, const char* lastSeparator) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            text += i + 1 == items.size() ? lastSeparator : ", ";
        }
        text += items[i];
    }
    return text;
}

// The start of the second line of the installation-directory messages: where the folder was
// looked for before the installation directory was asked.
std::string NotBesideProgram(std::string_view name) {
    std::vector<std::string> places;
    for (const fs::path& place : PlacesBesideProgram(name)) {
        places.push_back(place.string());
    }
    return "The \"" + std::string(name) + "\" folder is not beside the program (" +
           JoinList(places, " or ") + ")";
}

HRESULT FindJewelFolder(std::string_view name, fs::path* folder) {
    if (FindFolderBesideProgram(name, folder)) {
        return S_OK;
    }
    const InstallDirectory install = ReadInstallDirectory();
    if (install.status == InstallDirectoryStatus::NoKey) {
        return Refuse("I Can't Open RegistoryKey 'HKEY_LOCAL_MACHINE/SOFTWARE/Vendra/tovel'\n" +
                      NotBesideProgram(name) + ", and no installation directory is set: " +
                      kInstallDirectoryVariable + " is not set and " + install.source +
                      (PathExists(install.source) ? " cannot be read." : " does not exist."));
    }
    if (install.status == InstallDirectoryStatus::NoValue) {
        return Refuse("I Can't Open Registory Value 'installdirectory'\n" + NotBesideProgram(name) +
                      ", and " + install.source +
                      " does not name an installation directory in one line of fewer than " +
                      std::to_string(kInstallDirectoryLength) + " characters.");
    }
    // The name is appended with no separator: an installation directory ends with '/'.
    const std::string path = install.value + std::string(name);
    if (!PathExists(path)) {
        return Refuse("I Can't Open Directory:" + path + "\n" + NotBesideProgram(name) +
                      ", nor below the installation directory " + install.value + " named by " +
                      install.source +
                      (install.value.back() == '/' ? "." : ", which should end with \"/\"."));
    }
    *folder = path;
    return S_OK;
}

// Why a jewel file cannot be loaded, or null when it was: reading it and understanding it are
// told apart, so that the user learns whether the file or its content is at fault.
const char* LoadJewelFile(const std::string& file, JewelMesh& mesh) {
    std::vector<std::uint8_t> bytes;
    const HRESULT read = ReadContainerFile(file, &bytes);
    if (FAILED(read)) {
        return read == E_OUTOFMEMORY ? "is too large" : "cannot be read";
    }
    const HRESULT hr = LoadGem(bytes, mesh);
    if (FAILED(hr)) {
        return hr == E_OUTOFMEMORY ? "is too large" : "is damaged";
    }
    return nullptr;
}

constexpr std::size_t kFilesNamed = 3;  // in the message when no jewel file can be loaded

std::string NoJewelLoaded(const fs::path& folder, const std::vector<std::string>& failures) {
    std::vector<std::string> named(failures.begin(),
                                   failures.begin() + std::min(failures.size(), kFilesNamed));
    if (failures.size() > kFilesNamed) {
        named.push_back("the " + std::to_string(failures.size() - kFilesNamed) +
                        " other jewel files cannot be loaded either");
    }
    return "No jewel can be loaded from the folder " + folder.string() + ": " +
           JoinList(named, " and ") + ".";
}

// Makes a folder current and restores the previous one when it goes, on every way out.
class CurrentDirectoryScope {
public:
    CurrentDirectoryScope() = default;
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;
    ~CurrentDirectoryScope() {
        if (m_entered) {
            SetCurrentDirectory(m_previous);
        }
    }

    bool Enter(const fs::path& folder) {
        m_entered = GetCurrentDirectory(&m_previous) && SetCurrentDirectory(folder);
        return m_entered;
    }

private:
    fs::path m_previous;
    bool m_entered = false;
};

// One reference to a device object, released unless handed on.
template <class T>
class Held {
public:
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held() {
        if (m_object) {
            m_object->Release();
        }
    }

    T** Out() { return &m_object; }
    T* Get() const { return m_object; }
    T* Detach() { return std::exchange(m_object, nullptr); }

private:
    T* m_object = nullptr;
};

template <class T>
void Replace(T*& field, T* made) {
    if (field) {
        field->Release();
    }
    field = made;
}

}  // namespace

HRESULT LoadJewelLibrary(CJewelManager& manager, std::string_view folderName) {
    fs::path folder;
    if (HRESULT hr = FindJewelFolder(folderName, &folder); FAILED(hr)) {
        return hr;
    }
    return LoadJewelLibraryFrom(manager, folder);
}

HRESULT LoadJewelLibraryFrom(CJewelManager& manager, const fs::path& folder) {
    CurrentDirectoryScope current;
    if (!current.Enter(folder)) {
        return Refuse("No jewel can be loaded from " + folder.string() +
                      ": it cannot be opened as a folder.");
    }
    const std::vector<std::string> files = FindFiles(".", "*.gem");
    if (files.empty()) {
        return Refuse("No jewel can be loaded from the folder " + folder.string() +
                      ": it holds no jewel file (*.gem).");
    }

    JewelMeshList meshes;
    std::uint32_t count = 0;
    std::uint32_t totalVertices = 0;
    std::uint32_t totalIndices = 0;
    std::vector<std::string> failures;
    for (const std::string& file : files) {
        if (count == kMaxJewelMeshes) {
            break;
        }
        auto mesh = std::make_unique<JewelMesh>();
        // A file that cannot be loaded costs its jewel, not the library: the meshes' places are
        // kept nowhere, so the others simply move up.
        if (const char* reason = LoadJewelFile(file, *mesh)) {
            OutputDebugString("Skipped the jewel file " + (folder / file).string() + ": it " +
                              reason + ".\n");
            failures.push_back(file + " " + reason);
            continue;
        }
        // Past these totals 16-bit indices would wrap round and draw other jewels' vertices.
        const std::uint32_t indices = std::uint32_t{mesh->triangleCount} * 3;
        if (totalVertices + mesh->vertexCount >= kJewelLibraryLimit ||
            totalIndices + indices >= kJewelLibraryLimit) {
            return Refuse("The jewels in " + folder.string() +
                          " are too many to draw: a library holds fewer than 65536 vertices and "
                          "65536 indices.");
        }
        mesh->firstVertex = totalVertices;
        mesh->firstIndex = static_cast<std::uint16_t>(totalIndices);
        totalVertices += mesh->vertexCount;
        totalIndices += indices;
        meshes.Append(std::move(mesh));
        ++count;
    }
    if (count == 0) {
        return Refuse(NoJewelLoaded(folder, failures));
    }

    manager.m_meshes = std::move(meshes);
    manager.m_totalVertices = totalVertices;
    manager.m_totalTriangles = totalIndices / 3;
    manager.m_meshCount = count;
    return S_OK;
}

HRESULT BuildJewelBuffers(CJewelManager& manager) {
    assert(manager.m_device && "the device must exist before the library's buffers are made");
    // The buffers are sized from the totals and filled from the list, so the two must agree.
    std::uint32_t meshes = 0;
    std::uint32_t vertices = 0;
    std::uint32_t triangles = 0;
    for (const JewelMesh* mesh = manager.m_meshes.get(); mesh; mesh = mesh->next) {
        ++meshes;
        vertices += mesh->vertexCount;
        triangles += mesh->triangleCount;
        if (meshes > kMaxJewelMeshes || vertices >= kJewelLibraryLimit ||
            triangles * 3 >= kJewelLibraryLimit) {
            return E_INVALIDARG;
        }
    }
    if (meshes == 0 || meshes != manager.m_meshCount || vertices != manager.m_totalVertices ||
        triangles != manager.m_totalTriangles) {
        return E_INVALIDARG;
    }

    // Each mesh's size, and how far any vertex lies from its mesh's origin, for the columns.
    float sizeSum = 0.0f, radius = 0.0f;
    for (JewelMesh* mesh = manager.m_meshes.get(); mesh; mesh = mesh->next) {
        mesh->size = MeasureJewelMesh(*mesh);
        sizeSum += mesh->size;
        for (std::uint32_t v = 0; v < mesh->vertexCount; ++v) {
            const float* p = &mesh->vertices[std::size_t{v} * JewelMesh::kFloatsPerVertex];
            radius = std::max(radius, std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]));
        }
    }

    Held<IGraphicsVertexDeclaration> declaration;
    IGraphicsVertexBuffer* vertexBuffer = nullptr;
    IGraphicsIndexBuffer* indexBuffer = nullptr;
    HRESULT hr = CreateJewelDeclaration(manager.m_device, declaration.Out());
    if (SUCCEEDED(hr)) {
        hr = PackJewelMeshes(manager.m_device, manager.m_meshes.get(), &vertexBuffer,
                             &indexBuffer);
    }
    if (FAILED(hr)) {
        return hr;
    }

    Replace(manager.m_vertexDecl, declaration.Detach());
    Replace(manager.m_vertexBuffer, vertexBuffer);
    Replace(manager.m_indexBuffer, indexBuffer);
    manager.m_averageSize = sizeSum / static_cast<float>(meshes);
    manager.m_meshRadius = radius;
    return S_OK;
}
