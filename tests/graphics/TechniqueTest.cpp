// The effect's vertex-stage techniques, drawn over small meshes and compared with the processor's
// evaluation of their lighting formulas. The view-projections are orthographic, so each triangle
// keeps one clip w and its colours interpolate linearly; every triangle is sampled near each of its
// corners, which pins down all three vertex colours.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "platform/graphics/D3DMath.h"
#include "tests/support/gpu/GraphicsFixture.h"

namespace tovel_test {
namespace {

using namespace platform;
using Vec4 = std::array<double, 4>;
using Floats4 = std::array<float, 4>;

struct Vec3 {
    double x = 0, y = 0, z = 0;
    Vec3 operator+(Vec3 b) const { return {x + b.x, y + b.y, z + b.z}; }
    Vec3 operator-(Vec3 b) const { return {x - b.x, y - b.y, z - b.z}; }
    friend Vec3 operator*(double s, Vec3 a) { return {s * a.x, s * a.y, s * a.z}; }
    friend double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
    friend Vec3 Cross(Vec3 a, Vec3 b) {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
    friend double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
    friend Vec3 Normalise(Vec3 a) { return (1.0 / Length(a)) * a; }
};
Vec3 V3(const float* f) {
    return {f[0], f[1], f[2]};
}
Vec3 Row(const D3DMATRIX& m, int k) {
    return {m.m[k][0], m.m[k][1], m.m[k][2]};
}

// The row-vector product v·M, as the programs compose their matrices.
Vec4 Times(const Vec4& v, const D3DMATRIX& m) {
    Vec4 r{};
    for (int c = 0; c < 16; ++c) {
        r[c % 4] += v[c / 4] * m.m[c / 4][c % 4];
    }
    return r;
}

// The point X for which (X, qw)·vp + c4 lands on `ndc`; vp is affine (last column 0, 0, 0, 1), so
// X·A = r for the rows a0..a2 of its 3 x 3 part solves by Cramer's rule.
Vec3 Unproject(const D3DMATRIX& vp, Vec3 ndc, double qw, const Floats4& c4 = {}) {
    const Vec3 r = (qw + c4[3]) * ndc - qw * Row(vp, 3) - V3(c4.data());
    const Vec3 a0 = Row(vp, 0), a1 = Row(vp, 1), a2 = Row(vp, 2);
    return (1.0 / Dot(a0, Cross(a1, a2))) *
           Vec3{Dot(r, Cross(a1, a2)), Dot(r, Cross(a2, a0)), Dot(r, Cross(a0, a1))};
}

D3DMATRIX OrthoCamera(D3DVECTOR3 eye, D3DVECTOR3 at, D3DVECTOR3 up, float width, float height) {
    D3DMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixOrthoLH(&projection, width, height, 1.0f, 12.0f);
    D3DXMatrixMultiply(&view, &view, &projection);
    return view;
}

// Corner c of triangle t in NDC: one triangle per 64-pixel cell of the 256 x 192 target (4 x 3),
// each of a slightly different shape.
constexpr int kTriangles = 12;
Vec3 LayoutCorner(int t, int c) {
    const double cells[3][2] = {{6.0 + t % 3, 6.0}, {58.0, 12.0 + t % 5}, {14.0, 57.0}};
    const double x = (t % 4) * 64.0 + cells[c][0], y = (t / 4) * 64.0 + cells[c][1];
    return {x / 128.0 - 1.0, 1.0 - y / 96.0, 0.3 + 0.05 * c};
}

// A vertex as the picture must show it: its clip position and what the rasteriser interpolates
// (diffuse rgba and the first texture coordinate's u).
struct Expected {
    Vec4 clip;
    std::array<double, 5> attributes;
};
using Finish = std::function<std::array<double, 4>(const std::array<double, 5>&)>;

// Samples each triangle near each corner, well inside it, so a misplaced vertex shows as well as a
// wrong colour.
void ExpectPicture(const Image& image, const std::vector<Expected>& vertices,
                   const Finish& finish) {
    using Screen = std::array<double, 2>;
    auto edge = [](Screen a, Screen b, Screen p) {
        return (b[0] - a[0]) * (p[1] - a[1]) - (b[1] - a[1]) * (p[0] - a[0]);
    };
    int mismatches = 0;
    for (std::size_t t = 0; t + 2 < vertices.size(); t += 3) {
        std::array<Screen, 3> s;
        for (int j = 0; j < 3; ++j) {
            const Vec4& c = vertices[t + j].clip;
            s[j] = {(c[0] / c[3] + 1.0) * 0.5 * image.width,
                    (1.0 - c[1] / c[3]) * 0.5 * image.height};
        }
        for (int corner = 0; corner < 3; ++corner) {
            const Screen &a = s[corner], &b = s[(corner + 1) % 3], &c = s[(corner + 2) % 3];
            const int px = static_cast<int>(std::floor(0.6 * a[0] + 0.2 * (b[0] + c[0])));
            const int py = static_cast<int>(std::floor(0.6 * a[1] + 0.2 * (b[1] + c[1])));
            // One clip w per triangle, so the colours mix by the screen weights alone.
            std::array<double, 5> mixed{};
            for (int j = 0; j < 3; ++j) {
                const double w = edge(s[(j + 1) % 3], s[(j + 2) % 3], {px + 0.5, py + 0.5}) /
                                 edge(s[0], s[1], s[2]);
                EXPECT_GT(w, 0.05) << "sample of triangle " << t / 3 << " too near an edge";
                for (int k = 0; k < 5; ++k) {
                    mixed[k] += w * vertices[t + j].attributes[k];
                }
            }
            const std::array<double, 4> rgba = finish(mixed);
            for (int ch = 0; ch < 4; ++ch) {
                const double drawn = Channel(image.At(px, py), ch == 3 ? 3 : 2 - ch);
                if (std::abs(drawn - rgba[ch]) > 2.0 / 255.0 + 1e-6 && ++mismatches <= 12) {
                    ADD_FAILURE() << "triangle " << t / 3 << " pixel (" << px << ", " << py << ") "
                                  << "rgba"[ch] << ": drawn " << drawn << ", expected " << rgba[ch];
                }
            }
        }
    }
}

enum class Jewel { Palette, KeyboardClear, KeyboardColor, Clear, SeveralColor };
const char* kJewelNames[] = {"PaletteJewel", "KeyboardClearJewel", "KeyboardColorJewel",
                             "ClearJewel", "SeveralColorJewel"};
bool SubtractsIntConst(Jewel t) {
    return t == Jewel::Clear || t == Jewel::SeveralColor;
}

// Every parameter a jewel technique may read.
struct JewelScene {
    D3DMATRIX viewProjection{}, rotation{};
    std::array<Floats4, 32> offsets{}, colours{};  // Float4x32, Float4x32_2
    std::array<float, 3> light{};
    float lightPower = 1.0f;
    Floats4 color{1.0f, 1.0f, 1.0f, 1.0f};
    std::optional<std::array<float, 3>> camera;  // unset: the effect's default stays
    int intConst = 0;
};

struct JewelVertex {
    float position[4];  // w: the instance, plus IntConst where the technique takes it off
    float normal[4];
};

struct Shaded {
    Expected expected;
    Vec3 h;            // the half vector
    double brightest;  // the largest channel before clamping
};

Shaded Shade(Jewel t, const JewelScene& s, const JewelVertex& v) {
    const int instance =
        static_cast<int>(std::floor(v.position[3])) - (SubtractsIntConst(t) ? s.intConst : 0);
    const Vec4 q4 = Times({v.position[0], v.position[1], v.position[2], 1.0}, s.rotation);
    const Vec3 q = {q4[0], q4[1], q4[2]}, o = V3(s.offsets[instance].data());
    const Vec3 camera = s.camera ? V3(s.camera->data()) : Vec3{0.0, 5.0, -10.0};
    Vec3 p = q + o, e = Normalise(camera - p), light = V3(s.light.data());
    Vec4 clip = Times({p.x, p.y, p.z, q4[3]}, s.viewProjection);
    if (t == Jewel::Palette) {
        p = q;
        e = Normalise(Vec3{0.0, 0.0, -2.25} - p);
        light = {-1.0, 1.75, -1.75};
        clip = Times(q4, s.viewProjection);
        for (int c = 0; c < 4; ++c) {
            clip[c] += s.offsets[instance][c];
        }
    } else if (t == Jewel::KeyboardClear || t == Jewel::KeyboardColor) {
        p = q + Vec3{0.0, o.y, 0.0};
        e = Normalise(camera - (t == Jewel::KeyboardClear ? p : 1.5 * o));
    }
    const Vec3 l = light - p, h = Normalise((1.0 / Length(l)) * l + e);
    const double k = (t == Jewel::Palette ? 1.0 : s.lightPower) / Length(l);
    const Vec4 n = Times({v.normal[0], v.normal[1], v.normal[2], v.normal[3]}, s.rotation);
    const Vec3 n3 = {n[0], n[1], n[2]};
    const double d = Dot(h, n3) / std::sqrt(Dot(n3, n3) + n[3] * n[3]);
    const double back = -d >= 0.9848 ? -d : 0.0;
    const double front = std::max(0.9962 - d * d, d);
    const double white = front >= (t == Jewel::Palette ? 0.9848 : 0.99) ? front : 0.0;
    const Vec3 colour = V3(s.colours[instance].data()), color = V3(s.color.data());
    Vec3 backTerm = back * colour, frontTerm = front * front * colour;
    if (t == Jewel::KeyboardClear) {
        backTerm = back * Vec3{std::abs(o.x), 0.5 * std::abs(o.z), std::abs(o.y)};
        frontTerm = front * front * color;
    } else if (t == Jewel::KeyboardColor) {
        backTerm = back * color;
        frontTerm = front * front * front * color;
    } else if (t == Jewel::Clear) {
        backTerm = back * (0.5 * h + Vec3{0.5, 0.5, 0.5} + 0.5 * colour);
    }
    const Vec3 c = k * (backTerm + frontTerm + Vec3{white, white, white});
    auto clamped = [](double v) { return std::clamp(v, 0.0, 1.0); };
    return {{clip, {clamped(c.x), clamped(c.y), clamped(c.z), std::max(back, white), 0.0}},
            h,
            std::max({c.x, c.y, c.z})};
}

// Lighting a vertex is built for: a = dot(H, N) before the normal's w counts in its length, q that
// w, so d = a / sqrt(1 + q²). After the first five come pairs either side of each threshold: behind
// at 0.9848, white at 0.99 (0.9848 in the palette) facing and at the rim.
constexpr double kAims[][2] = {
    {-0.996, 0.05},  // lit from behind
    {0.998, 0.0},    // white, facing the half vector
    {0.03, 0.0},     // white at the rim, where 0.9962 - d² passes both thresholds
    {0.9995, 0.3},   // white only if the normal's w were left out of its length
    {-0.999, 0.2},   // lit from behind only if the same were done
    {-0.987, 0.0},  {-0.983, 0.0}, {0.992, 0.0}, {0.988, 0.0}, {0.07, 0.0},
    {0.087, 0.0},   {0.6, 0.3},    {-0.5, 0.0},  {0.3, 0.15},  {0.85, 0.1},
};

// One triangle per grid cell, instances taken in turn; each vertex placed to land on its layout
// corner and given a normal that meets its aim. The rotation's last column must be (0, 0, 0, s), so
// that Q.w = s everywhere and the 3 x 3 part inverts by transposing.
std::vector<JewelVertex> BuildJewels(Jewel t, const JewelScene& s, int instances) {
    const D3DMATRIX& r = s.rotation;
    const double qw = r.m[3][3];
    auto unrotate = [&](Vec3 v) {
        return Vec3{Dot(v, Row(r, 0)), Dot(v, Row(r, 1)), Dot(v, Row(r, 2))};
    };
    std::vector<JewelVertex> mesh;
    for (int index = 0; index < 3 * kTriangles; ++index) {
        const int tri = index / 3, instance = tri % instances;
        const Floats4& o = s.offsets[instance];
        const Vec3 ndc = LayoutCorner(tri, index % 3);
        const Vec3 q = t == Jewel::Palette ? Unproject(s.viewProjection, ndc, qw, o)
                                           : Unproject(s.viewProjection, ndc, qw) - V3(o.data());
        const Vec3 p = unrotate(q - Row(r, 3));
        JewelVertex v = {{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z),
                          static_cast<float>(instance + (SubtractsIntConst(t) ? s.intConst : 0)) +
                              (tri % 2 ? 0.6f : 0.0f)},
                         {0.0f, 0.0f, 1.0f, 0.0f}};
        const auto [a, qn] = kAims[index % std::size(kAims)];
        const Vec3 h = Shade(t, s, v).h;
        const Vec3 helper = {std::sin(1.7 * index), std::cos(1.7 * index), 0.3};
        const Vec3 u = a * h + std::sqrt(1.0 - a * a) * Normalise(helper - Dot(helper, h) * h);
        // The normal whose image under the rotation is (u, qn).
        const Vec3 n = unrotate(u - (qn / qw) * Row(r, 3));
        const float normal[4] = {static_cast<float>(n.x), static_cast<float>(n.y),
                                 static_cast<float>(n.z), static_cast<float>(qn / qw)};
        std::memcpy(v.normal, normal, sizeof normal);
        mesh.push_back(v);
    }
    return mesh;
}

class TechniqueTest : public GraphicsTest {
protected:
    D3DXHANDLE P(const char* semantic) {
        return m_effect->GetParameterBySemantic(nullptr, semantic);
    }
    static void Ok(HRESULT hr) { EXPECT_EQ(S_OK, hr); }
    void Set(const char* semantic, const void* data, std::uint32_t bytes) {
        EXPECT_EQ(S_OK, m_effect->SetValue(P(semantic), data, bytes)) << semantic;
    }
    // Draws the vertices as an indexed list (every other triangle wound the other way) through the
    // technique onto a target cleared to 0 with Z at 1, and reads the target back. After a FLOAT4
    // position a vertex holds a `second` of the given usage.
    template <typename Vertex>
    Image Draw(const char* technique, const std::vector<Vertex>& vertices, std::uint8_t second,
               std::uint8_t usage) {
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_POSITION, 0},
            {0, 16, second, 0, usage, 0},
            D3DDECL_END,
        };
        const auto count = static_cast<std::uint32_t>(vertices.size());
        std::vector<std::uint16_t> indices(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            indices[i] = static_cast<std::uint16_t>((i / 3) % 2 ? i - i % 3 + 2 - i % 3 : i);
        }
        IGraphicsVertexBuffer* vb = nullptr;
        IGraphicsIndexBuffer* ib = nullptr;
        IGraphicsVertexDeclaration* declaration = nullptr;
        void *vertexData = nullptr, *indexData = nullptr;
        Ok(m_device->CreateVertexBuffer(count * sizeof(Vertex), 0, D3DPOOL_MANAGED, &vb));
        Ok(m_device->CreateIndexBuffer(count * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib));
        Ok(m_device->CreateVertexDeclaration(elements, &declaration));
        m_owned.insert(m_owned.end(), {vb, ib, declaration});
        Ok(vb->Lock(0, 0, &vertexData));
        Ok(ib->Lock(0, 0, &indexData));
        std::memcpy(vertexData, vertices.data(), count * sizeof(Vertex));
        std::memcpy(indexData, indices.data(), count * 2);
        vb->Unlock();
        ib->Unlock();
        IGraphicsSurface* target = MakeTarget(kClientWidth, kClientHeight);
        m_device->SetRenderTarget(0, target);
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        m_device->SetVertexDeclaration(declaration);
        m_device->SetStreamSource(0, vb, 0, sizeof(Vertex));
        m_device->SetIndices(ib);
        Ok(m_effect->SetTechnique(m_effect->GetTechniqueByName(technique)));
        std::uint32_t passes = 0;
        Ok(m_effect->Begin(&passes, 0));
        EXPECT_EQ(1u, passes);
        Ok(m_effect->BeginPass(0));
        Ok(m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, count, 0, count / 3));
        m_effect->EndPass();
        m_effect->End();
        return Read(target);
    }
    // Sets the scene, draws the jewels and compares; `clamped` of the vertices are brighter than 1.
    void CheckJewels(Jewel t, const JewelScene& s, int clamped = 0) {
        SCOPED_TRACE(kJewelNames[static_cast<int>(t)]);
        const std::vector<JewelVertex> mesh = BuildJewels(t, s, 3);
        Ok(m_effect->SetMatrix(P("ViewProjection"), &s.viewProjection));
        Ok(m_effect->SetMatrix(P("Rotation"), &s.rotation));
        Set("Float4x32", s.offsets.data(), sizeof s.offsets);
        Set("Float4x32_2", s.colours.data(), sizeof s.colours);
        Set("LightPosition", s.light.data(), sizeof s.light);
        Set("Color", s.color.data(), sizeof s.color);
        Ok(m_effect->SetFloat(P("LightPower"), s.lightPower));
        Ok(m_effect->SetInt(P("IntConst"), s.intConst));
        if (s.camera) {
            Set("CameraPosition", s.camera->data(), 12);
        }
        const Image image =
            Draw(kJewelNames[static_cast<int>(t)], mesh, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_NORMAL);
        std::vector<Expected> expected;
        int overflows = 0;
        for (const JewelVertex& v : mesh) {
            const Shaded sh = Shade(t, s, v);
            overflows += sh.brightest > 1.0;
            expected.push_back(sh.expected);
        }
        EXPECT_EQ(clamped, overflows);
        ExpectPicture(image, expected, [](const std::array<double, 5>& a) {
            return std::array<double, 4>{a[0], a[1], a[2], a[3]};
        });
    }
};

// The palette's jewel has its own light and eye and offsets in clip space; the others light and
// place themselves by their instance offsets, taken with unequal, partly negative components so
// that lighting from the full offset, or a back colour from the wrong components or signs, shows.
// Rotations turn about all three axes, move, and have s = 1.25 in the last row so Q.w and the
// normal's w both count.
TEST_F(TechniqueTest, JewelsLightAndPlaceThemselvesAsTheirTechniqueSays) {
    JewelScene s;
    D3DXMatrixRotationYawPitchRoll(&s.rotation, 0.7f, -0.4f, 0.3f);
    s.rotation.m[3][0] = 0.3f;
    s.rotation.m[3][1] = -0.2f;
    s.rotation.m[3][2] = 0.15f;
    s.rotation.m[3][3] = 1.25f;
    JewelScene palette = s;
    s.viewProjection =
        OrthoCamera({-1.0f, 3.0f, -7.0f}, {0.2f, 0.3f, 0.5f}, {0.1f, 1.0f, 0.0f}, 6.5f, 4.5f);
    s.offsets = {{{-0.45f, 0.7f, -0.9f, 0}, {0.6f, -0.35f, 0.5f, 0}, {0.25f, 0.4f, -0.3f, 0}}};
    s.colours = {{{0.3f, 0.15f, 0.1f, 0}, {0.1f, 0.25f, 0.2f, 0}, {0.15f, 0.1f, 0.35f, 0}}};
    s.light = {-2.0f, 4.0f, -3.0f};
    s.lightPower = 1.2f;
    s.color = {0.3f, 0.25f, 0.2f, 1.0f};
    CheckJewels(Jewel::KeyboardClear, s);  // the camera keeps its default until set

    palette.viewProjection =
        OrthoCamera({1.5f, 2.5f, -4.0f}, {0.0f, 0.5f, 3.0f}, {0.2f, 1.0f, 0.1f}, 6.0f, 4.5f);
    palette.offsets = {{{0.08f, -0.06f, 0.01f, 0.15f},
                        {-0.05f, 0.04f, -0.02f, -0.1f},
                        {0.02f, 0.07f, 0.03f, 0.05f}}};
    palette.colours = {{{0.35f, 0.2f, 0.1f, 0}, {0.1f, 0.3f, 0.25f, 0}, {0.2f, 0.15f, 0.4f, 0}}};
    // Neither the light parameters nor the camera take part in the palette's lighting.
    palette.light = {4.0f, -3.0f, 2.0f};
    palette.lightPower = 3.0f;
    palette.camera = std::array<float, 3>{-3.0f, 1.0f, 4.0f};
    CheckJewels(Jewel::Palette, palette);

    // IntConst comes off the instance of Clear and SeveralColor jewels only. In those, one white
    // vertex lies so near the light that it clamps, before interpolation.
    s.camera = std::array<float, 3>{1.0f, 3.0f, -8.0f};
    s.intConst = 3;
    for (Jewel t :
         {Jewel::KeyboardClear, Jewel::KeyboardColor, Jewel::Clear, Jewel::SeveralColor}) {
        CheckJewels(t, s, SubtractsIntConst(t) ? 1 : 0);
    }
}

// Each vertex sits on the view ray of its layout corner at the depth where the eight weighted glow
// sources sum to 4.002 (lit) or 3.998 (unlit), whole triangles alike.
TEST_F(TechniqueTest, KeyboardColoursKeysAndLightsWhereTheGlowReachesFour) {
    struct KeyVertex {
        float position[4];  // w: the key
        float tex[2];
    };
    const D3DMATRIX vp =
        OrthoCamera({0.5f, 4.0f, -6.0f}, {-0.2f, 0.0f, 0.4f}, {0.0f, 1.0f, 0.2f}, 7.0f, 4.0f);
    Floats4 keys[48], glows[8];
    for (int k = 0; k < 48; ++k) {
        const double f[3] = {0.37 * k, 0.61 * k + 0.2, 0.23 * k + 0.5};
        for (int c = 0; c < 3; ++c) {
            keys[k][c] = static_cast<float>(0.1 + 0.8 * (f[c] - std::floor(f[c])));
        }
        keys[k][3] = 0.5f;  // the sum alone decides the alpha
    }
    // In front of the drawn depths, so the sum falls along every view ray.
    for (int k = 0; k < 8; ++k) {
        const Vec3 g = Unproject(vp, {(k % 4) * 0.5 - 0.75, (k / 4) - 0.5, -0.1}, 1.0);
        glows[k] = {static_cast<float>(g.x), static_cast<float>(g.y), static_cast<float>(g.z),
                    1.3f + 0.3f * k};
    }
    auto glowSum = [&](Vec3 p) {
        double sum = 0.0;
        for (const auto& g : glows) {
            sum += g[3] / Length(p - V3(g.data()));
        }
        return sum;
    };
    const int keyOf[kTriangles] = {0, 5, 17, 23, 31, 40, 46, 47, 12, 8, 33, 2};
    std::vector<KeyVertex> mesh;
    for (int index = 0; index < 3 * kTriangles; ++index) {
        const int tri = index / 3;
        const double target = tri % 3 ? 4.002 : 3.998;
        const Vec3 ndc = LayoutCorner(tri, index % 3);
        auto at = [&](double z) { return Unproject(vp, {ndc.x, ndc.y, z}, 1.0); };
        double nearZ = 0.05, farZ = 0.95;
        for (int step = 0; step < 60; ++step) {
            const double mid = 0.5 * (nearZ + farZ);
            (glowSum(at(mid)) > target ? nearZ : farZ) = mid;
        }
        const Vec3 p = at(nearZ);
        mesh.push_back({{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z),
                         keyOf[tri] + (tri % 2 ? 0.7f : 0.0f)},
                        {static_cast<float>(0.3 + 0.4 * std::fmod(0.29 * index, 1.0)), 0.5f}});
    }
    // Two texels: where u runs from 0.25 to 0.75 the linear filter blends them in proportion.
    const D3DCOLOR texels[2] = {0x40206080u, 0xC0A01040u};
    m_device->SetTexture(0, MakeTexture(Image{2, 1, {texels[0], texels[1]}}));
    Ok(m_effect->SetMatrix(P("ViewProjection"), &vp));
    Set("Float4x8", glows, sizeof glows);
    Set("Float4x48", keys, sizeof keys);
    const Image image = Draw("Keyboard", mesh, D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD);
    std::vector<Expected> expected;
    for (const KeyVertex& v : mesh) {
        const Vec3 p = V3(v.position);
        const double sum = glowSum(p);
        const Floats4& key = keys[static_cast<int>(std::floor(v.position[3]))];
        expected.push_back({Times({p.x, p.y, p.z, 1.0}, vp),
                            {key[0], key[1], key[2], sum >= 4.0 ? 1.0 : 0.0, v.tex[0]}});
    }
    // Stage 0 adds texture and diffuse smoothly and takes the diffuse alpha.
    ExpectPicture(image, expected, [&](const std::array<double, 5>& a) {
        const double f = std::clamp((a[4] - 0.25) / 0.5, 0.0, 1.0);
        std::array<double, 4> out{};
        for (int c = 0; c < 3; ++c) {
            const double t = (1.0 - f) * Channel(texels[0], 2 - c) + f * Channel(texels[1], 2 - c);
            out[c] = t + a[c] - t * a[c];
        }
        out[3] = a[3];
        return out;
    });
}

}  // namespace
}  // namespace tovel_test
