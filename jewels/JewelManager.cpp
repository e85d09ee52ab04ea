#include "jewels/JewelManager.h"

#include <algorithm>
#include <new>
#include <utility>

#include "graphics/Graphics.h"
#include "graphics/Targets.h"
#include "jewels/JewelLibrary.h"
#include "platform/window/Window.h"

using namespace platform;

namespace {

CJewelManager* g_instance = nullptr;

constexpr std::uint32_t kVertexStride = kJewelGpuVertexBytes;
constexpr std::uint32_t kVectorBytes = sizeof(D3DVECTOR4);
// The keyboard's jewel is lit twice as strongly as the default light.
constexpr float kKeyboardJewelLightPower = 2.0f;

// The leading count vectors of the caller's array, never more than it holds.
HRESULT SetVectors(IGraphicsEffect* effect, D3DXHANDLE parameter, std::span<const D3DVECTOR4> array,
                   std::uint32_t count) {
    const std::size_t vectors = std::min<std::size_t>(count, array.size());
    return effect->SetValue(parameter, array.data(),
                            static_cast<std::uint32_t>(vectors * kVectorBytes));
}

HRESULT BindMeshBuffers(IGraphicsDevice* device, IGraphicsVertexDeclaration* declaration,
                        IGraphicsVertexBuffer* vertexBuffer, IGraphicsIndexBuffer* indexBuffer) {
    HRESULT hr = device->SetVertexDeclaration(declaration);
    if (SUCCEEDED(hr)) {
        hr = device->SetStreamSource(0, vertexBuffer, 0, kVertexStride);
    }
    if (SUCCEEDED(hr)) {
        hr = device->SetIndices(indexBuffer);
    }
    return hr;
}

// Begins the technique's pass 0; End() is owed only when this succeeds.
class TechniqueScope {
public:
    explicit TechniqueScope(IGraphicsEffect* effect) : m_effect(effect) {}
    TechniqueScope(const TechniqueScope&) = delete;
    TechniqueScope& operator=(const TechniqueScope&) = delete;
    ~TechniqueScope() {
        if (m_inPass) {
            m_effect->EndPass();
        }
        if (m_begun) {
            m_effect->End();
        }
    }
    HRESULT Begin(std::uint32_t* passes) {
        const HRESULT hr = m_effect->Begin(passes, 0);
        m_begun = SUCCEEDED(hr);
        return hr;
    }
    HRESULT BeginPass(std::uint32_t pass) {
        const HRESULT hr = m_effect->BeginPass(pass);
        m_inPass = SUCCEEDED(hr);
        return hr;
    }
    HRESULT EndPass() {
        m_inPass = false;
        return m_effect->EndPass();
    }
    HRESULT End() {
        m_begun = false;
        return m_effect->End();
    }

private:
    IGraphicsEffect* m_effect;
    bool m_begun = false;
    bool m_inPass = false;
};

// One indexed draw of the range in pass 0 of the selected technique, clearing the target first
// when asked; the result of ending the technique, or the first failure.
HRESULT DrawInOnePass(IGraphicsEffect* effect, IGraphicsDevice* device, const MeshRange& range,
                      bool clearFirst) {
    TechniqueScope scope(effect);
    std::uint32_t passes = 0;
    HRESULT hr = scope.Begin(&passes);
    if (SUCCEEDED(hr)) {
        hr = scope.BeginPass(0);
    }
    if (SUCCEEDED(hr) && clearFirst) {
        hr = device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    }
    if (SUCCEEDED(hr)) {
        hr = device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.firstVertex,
                                          range.vertexTotal, range.firstIndex, range.triangleTotal);
    }
    if (SUCCEEDED(hr)) {
        hr = scope.EndPass();
    }
    if (SUCCEEDED(hr)) {
        hr = scope.End();
    }
    return hr;
}

}  // namespace

CJewelManager* CJewelManager::Instance() {
    if (!g_instance) {
        g_instance = new CJewelManager();
        if (FAILED(g_instance->Initialise())) {
            platform::PostQuitMessage(platform::kFailureExitCode);
        }
    }
    return g_instance;
}

void CJewelManager::DeleteInstance() {
    delete g_instance;
    g_instance = nullptr;
}

CJewelManager* CJewelManager::SetInstance(CJewelManager* manager) {
    return std::exchange(g_instance, manager);
}

CJewelManager::~CJewelManager() {
    m_meshes.reset();
    ReleaseAndNull(m_vertexBuffer);
    ReleaseAndNull(m_indexBuffer);
    ReleaseAndNull(m_vertexDecl);
    OnLostDevice();
}

HRESULT CJewelManager::Initialise(const std::filesystem::path& folder) {
    m_graphics = CGraphics::Instance();
    m_device = m_graphics->m_device;
    m_effect = m_graphics->m_effect;
    // Without a device there is nothing to draw jewels with; its creation has told the user.
    if (!m_device) {
        return E_FAIL;
    }
    HRESULT hr = folder.empty() ? LoadJewelLibrary(*this) : LoadJewelLibraryFrom(*this, folder);
    if (SUCCEEDED(hr)) {
        hr = BuildJewelBuffers(*this);
    }
    if (SUCCEEDED(hr)) {
        hr = CreateTasks();
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (m_effect) {
        m_hKeyboardColorJewel = m_effect->GetTechniqueByName("KeyboardColorJewel");
        m_hKeyboardClearJewel = m_effect->GetTechniqueByName("KeyboardClearJewel");
        m_hFloat4x32 = m_effect->GetParameterBySemantic(nullptr, "Float4x32");
        m_hFloat4x32_2 = m_effect->GetParameterBySemantic(nullptr, "Float4x32_2");
        m_hColor = m_effect->GetParameterBySemantic(nullptr, "Color");
        m_hRotation = m_effect->GetParameterBySemantic(nullptr, "Rotation");
        m_hIntConst = m_effect->GetParameterBySemantic(nullptr, "IntConst");
        m_hLightPosition = m_effect->GetParameterBySemantic(nullptr, "LightPosition");
        m_hLightPower = m_effect->GetParameterBySemantic(nullptr, "LightPower");
    }
    return S_OK;
}

HRESULT CJewelManager::CreateTasks() {
    try {
        for (std::uint32_t i = 0; i < kTaskCount; ++i) {
            m_tasks[i] = std::make_unique<CJewelTask>(m_meshCount);
            m_freeTasks[i] = m_tasks[i].get();
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_activeTasks = nullptr;
    m_takenCount = 0;
    return S_OK;
}

CJewelTask* CJewelManager::SpawnColumn(float x, float y, float z, float h, float s, float v,
                                       bool fading) {
    if (m_takenCount >= static_cast<std::int32_t>(kTaskCount) || !m_freeTasks[m_takenCount]) {
        return nullptr;
    }
    CJewelTask* task = std::exchange(m_freeTasks[m_takenCount], nullptr);
    ++m_takenCount;
    task->Start(x, y, z, h, s, v, m_averageSize, fading);

    task->m_next = nullptr;
    task->m_prev = nullptr;
    if (!m_activeTasks) {
        m_activeTasks = task;
    } else {
        CJewelTask* last = m_activeTasks;
        while (last->m_next) {
            last = last->m_next;
        }
        last->m_next = task;
        task->m_prev = last;
    }
    return task;
}

void CJewelManager::ReturnToPool(CJewelTask* task) {
    if (task->m_prev) {
        task->m_prev->m_next = task->m_next;
    } else {
        m_activeTasks = task->m_next;
    }
    if (task->m_next) {
        task->m_next->m_prev = task->m_prev;
    }
    --m_takenCount;
    task->Reset();
    m_freeTasks[m_takenCount] = task;
}

HRESULT CJewelManager::UpdateAndRender(float dt) {
    for (CJewelTask* task = m_activeTasks; task;) {
        CJewelTask* next = task->m_next;
        if (!task->Update(dt)) {
            ReturnToPool(task);
        }
        task = next;
    }
    if (!m_activeTasks) {
        return S_OK;
    }
    if (!m_device || !m_effect || !m_sceneTarget || !m_bloomTargetA || !m_bloomTargetB) {
        return D3DERR_INVALIDCALL;
    }
    SaveRenderTarget(*m_graphics);
    const HRESULT hr = DrawColumns();
    if (FAILED(hr)) {
        RestoreRenderTarget(*m_graphics);
        return hr;
    }
    const GlowRegions regions = ColumnsRegions();
    ClearTexture(m_device, m_bloomTargetA);
    ApplyBrightPass(*m_graphics, m_bloomTargetA, m_sceneTarget, &regions.bright);
    ClearTexture(m_device, m_bloomTargetB);
    ApplyBlur(*m_graphics, m_bloomTargetB, m_bloomTargetA, m_blurWeights, &regions.blur);
    RestoreRenderTarget(*m_graphics);
    MergeRenderTargets(*m_graphics, m_sceneTarget, m_bloomTargetB, kMergeFactor, &regions.merge);
    return S_OK;
}

void CJewelManager::SetColumnCamera(const D3DMATRIX* viewProjection) {
    m_hasColumnCamera = viewProjection != nullptr;
    if (viewProjection) {
        m_columnViewProjection = *viewProjection;
    }
}

GlowRegions CJewelManager::ColumnsRegions() const {
    if (!m_hasColumnCamera) {
        return {TextureRegion::Whole(), TextureRegion::Whole(), TextureRegion::Whole()};
    }
    TextureRegion drawn{};
    for (const CJewelTask* task = m_activeTasks; task; task = task->m_next) {
        D3DVECTOR3 low, high;
        task->Bounds(m_meshRadius, &low, &high);
        drawn = Union(drawn, ProjectBox(m_columnViewProjection, low, high));
    }
    return GlowChainRegions(drawn, m_targetWidth, m_targetHeight, m_targetWidth / 8,
                            m_targetHeight / 8, m_blurWeights);
}

HRESULT CJewelManager::DrawColumns() {
    HRESULT hr = SetTargetTexture(m_device, m_sceneTarget);
    if (SUCCEEDED(hr)) {
        hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    }
    if (SUCCEEDED(hr)) {
        hr = BindMeshBuffers(m_device, m_vertexDecl, m_vertexBuffer, m_indexBuffer);
    }
    for (CJewelTask* task = m_activeTasks; task && SUCCEEDED(hr); task = task->m_next) {
        hr = m_effect->SetTechnique(task->m_coloured ? m_hKeyboardColorJewel
                                                     : m_hKeyboardClearJewel);
        TechniqueScope scope(m_effect);
        std::uint32_t passes = 0;
        if (SUCCEEDED(hr)) {
            hr = scope.Begin(&passes);
        }
        for (std::uint32_t pass = 0; pass < passes && SUCCEEDED(hr); ++pass) {
            hr = scope.BeginPass(pass);
            if (SUCCEEDED(hr)) {
                hr = m_effect->SetValue(m_hColor, task->m_colour, sizeof task->m_colour);
            }
            if (SUCCEEDED(hr)) {
                hr = m_effect->SetMatrix(m_hRotation, &task->m_rotation);
            }
            if (SUCCEEDED(hr)) {
                // One draw per run of consecutive library meshes, each placed by its vector.
                task->ForEachRun(
                    m_meshCount, [&](std::uint32_t start, std::uint32_t count, std::int32_t slot) {
                        MeshRange range;
                        const std::uint32_t n = GetMeshRange(m_meshes.get(), start, count, &range);
                        task->BuildInstances(start, n, slot);
                        hr = m_effect->SetValue(
                            m_hFloat4x32, task->m_instances.get(),
                            static_cast<std::uint32_t>(task->m_capacity) * kVectorBytes);
                        if (SUCCEEDED(hr)) {
                            hr = m_effect->CommitChanges();
                        }
                        if (SUCCEEDED(hr)) {
                            hr = m_device->DrawIndexedPrimitive(
                                D3DPT_TRIANGLELIST, 0, range.firstVertex, range.vertexTotal,
                                range.firstIndex, range.triangleTotal);
                        }
                        return SUCCEEDED(hr) && n == count;
                    });
            }
            if (SUCCEEDED(hr)) {
                hr = scope.EndPass();
            }
        }
        if (SUCCEEDED(hr)) {
            hr = scope.End();
        }
    }
    return hr;
}

HRESULT CJewelManager::DrawKeyboardJewel(
    const D3DMATRIX* viewProjection, const D3DMATRIX* rotation, const D3DVECTOR3* camera,
    const D3DVECTOR3* light, const D3DVIEWPORT9* viewport, std::span<const D3DVECTOR4> arrayA,
    std::span<const D3DVECTOR4> arrayB, std::uint32_t n, D3DXHANDLE technique,
    const BloomKernel& blurWeights, IGraphicsTexture* sceneTarget, IGraphicsTexture* bloomTarget1,
    IGraphicsTexture* bloomTarget2) {
    if (!m_device || !m_effect || m_meshCount == 0 || !bloomTarget1 || !bloomTarget2) {
        return D3DERR_INVALIDCALL;
    }
    SaveRenderTarget(*m_graphics);
    HRESULT hr = SetTargetTexture(m_device, sceneTarget);
    D3DVIEWPORT9 savedViewport{};
    bool viewportSet = false;
    if (SUCCEEDED(hr) && viewport) {
        hr = m_device->GetViewport(&savedViewport);
        if (SUCCEEDED(hr)) {
            hr = m_device->SetViewport(viewport);
            viewportSet = SUCCEEDED(hr);
        }
    }
    if (SUCCEEDED(hr) && viewProjection) {
        if (!m_hViewProjection) {
            m_hViewProjection = m_effect->GetParameterBySemantic(nullptr, "ViewProjection");
        }
        hr = m_effect->SetMatrix(m_hViewProjection, viewProjection);
    }
    if (SUCCEEDED(hr) && rotation) {
        hr = m_effect->SetMatrix(m_hRotation, rotation);
    }
    if (SUCCEEDED(hr) && camera) {
        if (!m_hCameraPosition) {
            m_hCameraPosition = m_effect->GetParameterBySemantic(nullptr, "CameraPosition");
        }
        hr = m_effect->SetValue(m_hCameraPosition, camera, sizeof *camera);
    }
    if (SUCCEEDED(hr) && light) {
        hr = m_effect->SetValue(m_hLightPosition, light, sizeof *light);
        if (SUCCEEDED(hr)) {
            hr = m_effect->SetFloat(m_hLightPower, kKeyboardJewelLightPower);
        }
    }
    // Only the entries the caller's arrays hold are sent; the technique reads entry n - n = 0.
    if (SUCCEEDED(hr)) {
        hr = SetVectors(m_effect, m_hFloat4x32, arrayA, n + 1);
    }
    if (SUCCEEDED(hr)) {
        hr = SetVectors(m_effect, m_hFloat4x32_2, arrayB, n + 1);
    }
    if (SUCCEEDED(hr)) {
        hr = m_effect->SetInt(m_hIntConst, static_cast<std::int32_t>(n));
    }
    if (SUCCEEDED(hr)) {
        hr = m_effect->SetTechnique(technique);
    }
    if (SUCCEEDED(hr)) {
        hr = BindMeshBuffers(m_device, m_vertexDecl, m_vertexBuffer, m_indexBuffer);
    }
    if (SUCCEEDED(hr)) {
        MeshRange range;
        GetMeshRange(m_meshes.get(), n % m_meshCount, 1, &range);
        hr = DrawInOnePass(m_effect, m_device, range, true);
    }
    if (SUCCEEDED(hr)) {
        ClearTexture(m_device, bloomTarget1);
        ApplyBrightPass(*m_graphics, bloomTarget1, sceneTarget);
        ClearTexture(m_device, bloomTarget2);
        ApplyBlur(*m_graphics, bloomTarget2, bloomTarget1, blurWeights);
    }
    if (viewportSet) {
        m_device->SetViewport(&savedViewport);
    }
    RestoreRenderTarget(*m_graphics);
    return hr;
}

HRESULT CJewelManager::DrawPaletteJewels(
    IGraphicsTexture* target, IGraphicsVertexBuffer* vertexBuffer,
    IGraphicsIndexBuffer* indexBuffer, IGraphicsVertexDeclaration* declaration,
    const JewelMesh* meshes, const D3DMATRIX* rotation, const D3DMATRIX* viewProjection,
    std::span<const D3DVECTOR4> arrayA, std::span<const D3DVECTOR4> arrayB, std::uint32_t start,
    std::uint32_t n) {
    if (!vertexBuffer) {
        return E_INVALIDARG;
    }
    if (!m_device || !m_effect) {
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = SetTargetTexture(m_device, target);
    if (SUCCEEDED(hr)) {
        hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00000000, 1.0f, 0);
    }
    if (SUCCEEDED(hr)) {
        hr = BindMeshBuffers(m_device, declaration, vertexBuffer, indexBuffer);
    }
    if (SUCCEEDED(hr)) {
        hr = m_effect->SetMatrix(m_hRotation, rotation);
    }
    if (SUCCEEDED(hr)) {
        if (!m_hViewProjection) {
            m_hViewProjection = m_effect->GetParameterBySemantic(nullptr, "ViewProjection");
        }
        hr = m_effect->SetMatrix(m_hViewProjection, viewProjection);
    }
    if (SUCCEEDED(hr)) {
        hr = SetVectors(m_effect, m_hFloat4x32_2, arrayB, start + n);
    }
    if (SUCCEEDED(hr)) {
        hr = SetVectors(m_effect, m_hFloat4x32, arrayA, start + n);
    }
    if (FAILED(hr)) {
        return hr;
    }
    MeshRange range;
    GetMeshRange(meshes, start, n, &range);
    if (!m_hPaletteJewel) {
        m_hPaletteJewel = m_effect->GetTechniqueByName("PaletteJewel");
    }
    hr = m_effect->SetTechnique(m_hPaletteJewel);
    return SUCCEEDED(hr) ? DrawInOnePass(m_effect, m_device, range, false) : hr;
}

HRESULT CJewelManager::OnLostDevice() {
    ReleaseAndNull(m_sceneTarget);
    ReleaseAndNull(m_bloomTargetA);
    ReleaseAndNull(m_bloomTargetB);
    return S_OK;
}

HRESULT CJewelManager::OnResetDevice() {
    if (!m_device) {
        return D3DERR_INVALIDCALL;
    }
    OnLostDevice();
    IGraphicsSurface* target = nullptr;
    HRESULT hr = m_device->GetRenderTarget(0, &target);
    if (FAILED(hr)) {
        return hr;
    }
    m_targetWidth = target->GetWidth() & ~7u;
    m_targetHeight = target->GetHeight() & ~7u;
    target->Release();
    const std::uint32_t bloomWidth = m_targetWidth / 8, bloomHeight = m_targetHeight / 8;
    hr = CreateRenderTarget(m_device, m_targetWidth, m_targetHeight, &m_sceneTarget);
    if (SUCCEEDED(hr)) {
        hr = CreateRenderTarget(m_device, bloomWidth, bloomHeight, &m_bloomTargetA);
    }
    if (SUCCEEDED(hr)) {
        hr = CreateRenderTarget(m_device, bloomWidth, bloomHeight, &m_bloomTargetB);
    }
    if (FAILED(hr)) {
        // A window too small for the glow draws no columns until the next reset.
        OnLostDevice();
        return hr;
    }
    BuildStarKernel(m_blurWeights, static_cast<int>(bloomWidth), static_cast<int>(bloomHeight),
                    0.0f, 1.0f, 12.0f, 2.0f);
    return S_OK;
}
