#include "tools/gemforge/GemShapes.h"

#include <cassert>
#include <cmath>
#include <iterator>
#include <numbers>
#include <span>

#include "tools/gemforge/ConvexHull.h"

// Shapes are designed with the crown facing +z and a girdle radius of about 1; the outline is
// a polygon in the z = 0 plane, counter-clockwise seen from +z. Normalise fixes the final
// placement and size.

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kGirdle = 0.02;  // half the girdle's height

using Outline = std::vector<Vec3>;

// Which outline corners a ring takes: alternating rings make the kites and triangles of a
// brilliant instead of the trapezoids of a step cut.
enum class Corners { All, Even, Odd };

struct Ring {
    double scale;
    double z;
    Corners corners = Corners::All;
};

Outline Ellipse(int count, double rx, double ry, double phase = 0.0) {
    Outline outline;
    for (int i = 0; i < count; ++i) {
        const double a = phase + 2.0 * kPi * i / count;
        outline.push_back({rx * std::cos(a), ry * std::sin(a), 0.0});
    }
    return outline;
}

// Inserts the midpoint of every side, so that a polygon of few corners can carry a brilliant.
Outline WithMidpoints(const Outline& corners) {
    Outline outline;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        outline.push_back(corners[i]);
        outline.push_back((corners[i] + corners[(i + 1) % corners.size()]) * 0.5);
    }
    return outline;
}

// A rectangle whose corners are cut at 45 degrees by cut.
Outline CutCornerRectangle(double halfWidth, double halfHeight, double cut) {
    const double w = halfWidth;
    const double h = halfHeight;
    return {{w, -h + cut, 0}, {w, h - cut, 0},   {w - cut, h, 0},   {-w + cut, h, 0},
            {-w, h - cut, 0}, {-w, -h + cut, 0}, {-w + cut, -h, 0}, {w - cut, -h, 0}};
}

// Two circular arcs meeting in points at x = +-halfLength, each arc sampled from its tip.
Outline Navette(int perArc, double halfLength, double halfWidth) {
    const double radius = (halfLength * halfLength + halfWidth * halfWidth) / (2.0 * halfWidth);
    const double offset = radius - halfWidth;
    const double reach = std::atan2(halfLength, offset);
    Outline outline;
    for (int side = 0; side < 2; ++side) {
        const double sign = side == 0 ? 1.0 : -1.0;
        for (int i = 0; i < perArc; ++i) {
            const double a = reach - 2.0 * reach * i / perArc;
            outline.push_back(
                {sign * radius * std::sin(a), sign * (radius * std::cos(a) - offset), 0.0});
        }
    }
    return outline;
}

// A round end of radius 1 drawn out to a point at +y along its two tangents.
Outline Pear(int arcCount, double tipDistance) {
    const double spread = std::acos(1.0 / tipDistance);
    const double tipSide = kPi / 2.0 + spread;
    const double arc = 2.0 * kPi - 2.0 * spread;
    Outline outline;
    for (int i = 0; i < arcCount; ++i) {
        const double a = tipSide + arc * i / (arcCount - 1);
        outline.push_back({std::cos(a), std::sin(a) - 0.2 * tipDistance, 0.0});
    }
    outline.push_back({0.0, tipDistance - 0.2 * tipDistance, 0.0});
    return outline;
}

// A triangle whose sides bow outwards, corners first.
Outline CurvedTriangle(int perSide, double bow) {
    Outline outline;
    for (int side = 0; side < 3; ++side) {
        const double a0 = 2.0 * kPi * side / 3.0 - kPi / 2.0;
        const Vec3 from{std::cos(a0), std::sin(a0), 0.0};
        const Vec3 to{std::cos(a0 + 2.0 * kPi / 3.0), std::sin(a0 + 2.0 * kPi / 3.0), 0.0};
        for (int i = 0; i < perSide; ++i) {
            const double t = static_cast<double>(i) / perSide;
            const Vec3 straight = from * (1.0 - t) + to * t;
            const double lift = 1.0 + bow * 4.0 * t * (1.0 - t);
            outline.push_back(straight * lift);
        }
    }
    return outline;
}

void AddRing(std::vector<Vec3>& points, const Outline& outline, const Ring& ring) {
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const bool take =
            ring.corners == Corners::All || (ring.corners == Corners::Even) == (i % 2 == 0);
        if (take) {
            points.push_back({outline[i].x * ring.scale, outline[i].y * ring.scale, ring.z});
        }
    }
}

// The hull of scaled copies of one outline, and of any extra points (culets, tips).
GemMesh RingHull(const Outline& outline, std::span<const Ring> rings,
                 std::span<const Vec3> extra = {}) {
    std::vector<Vec3> points(extra.begin(), extra.end());
    for (const Ring& ring : rings) {
        AddRing(points, outline, ring);
    }
    GemMesh mesh;
    AddHull(mesh, points);
    return mesh;
}

// The table over alternate corners of the girdle outline (which needs an even count), bezels
// and pavilion mains over the others, a pointed culet.
GemMesh Brilliant(const Outline& outline, double tableScale = 0.56, double crownZ = 0.30,
                  double pavilionZ = -0.86) {
    const Ring rings[] = {
        {tableScale, crownZ, Corners::Odd},
        {0.5 + 0.5 * (tableScale + 0.08), 0.55 * crownZ, Corners::Even},
        {1.0, kGirdle},
        {1.0, -kGirdle},
        {0.55, 0.51 * pavilionZ, Corners::Even},
    };
    const Vec3 culet{0.0, 0.0, pavilionZ};
    return RingHull(outline, rings, std::span(&culet, 1));
}

// Trapezoid facets in steps: crown steps down from the table, pavilion steps down to a small
// flat culet of the outline's shape.
GemMesh StepCut(const Outline& outline, std::span<const Ring> crown,
                std::span<const Ring> pavilion) {
    std::vector<Ring> rings(crown.begin(), crown.end());
    rings.push_back({1.0, kGirdle});
    rings.push_back({1.0, -kGirdle});
    rings.insert(rings.end(), pavilion.begin(), pavilion.end());
    return RingHull(outline, rings);
}

// For outlines with dents (heart, star): scaled copies of the outline from top to bottom
// joined by trapezoids. A first or last ring of scale 0 is a point; otherwise it is closed
// flat. Needs every side of the outline to face away from the origin.
GemMesh RingStack(const Outline& outline, std::span<const Ring> rings) {
    const std::size_t n = outline.size();
    for (std::size_t i = 0; i < n; ++i) {
        assert(Cross(outline[i], outline[(i + 1) % n]).z > 1e-6 &&
               "caps are fans from the axis, which must see every side of the outline");
    }
    auto corner = [&](const Ring& ring, std::size_t i) {
        const Vec3& p = outline[i % n];
        return Vec3{p.x * ring.scale, p.y * ring.scale, ring.z};
    };
    GemMesh mesh;
    const std::size_t first = rings.front().scale > 0.0 ? 0 : 1;
    const std::size_t last = rings.back().scale > 0.0 ? rings.size() - 1 : rings.size() - 2;
    const Vec3 top{0.0, 0.0, rings.front().z};
    const Vec3 bottom{0.0, 0.0, rings.back().z};
    for (std::size_t i = 0; i < n; ++i) {
        const Vec3 cap[] = {top, corner(rings[first], i), corner(rings[first], i + 1)};
        mesh.AddFacet(cap);
        for (std::size_t k = first; k < last; ++k) {
            const Vec3 band[] = {corner(rings[k + 1], i), corner(rings[k + 1], i + 1),
                                 corner(rings[k], i + 1), corner(rings[k], i)};
            mesh.AddFacet(band);
        }
        const Vec3 base[] = {bottom, corner(rings[last], i + 1), corner(rings[last], i)};
        mesh.AddFacet(base);
    }
    return mesh;
}

// Shapes given as points rather than rings, crystal habits among them.
GemMesh Hull(std::span<const Vec3> points) {
    GemMesh mesh;
    AddHull(mesh, points);
    return mesh;
}

GemMesh RoundBrilliant() {
    return Brilliant(Ellipse(16, 1.0, 1.0));
}
GemMesh Oval() {
    return Brilliant(Ellipse(20, 1.3, 0.92), 0.54, 0.28, -0.8);
}
GemMesh Marquise() {
    return Brilliant(Navette(8, 1.5, 0.62), 0.5, 0.26, -0.7);
}
GemMesh PearCut() {
    return Brilliant(Pear(15, 1.7), 0.52, 0.28, -0.8);
}
GemMesh Cushion() {
    Outline outline;
    for (int i = 0; i < 24; ++i) {
        const double a = 2.0 * kPi * (i + 0.5) / 24;
        // A superellipse: a square with swollen sides and rounded corners.
        const double c = std::cos(a);
        const double s = std::sin(a);
        outline.push_back({std::copysign(std::pow(std::abs(c), 0.6), c),
                           std::copysign(std::pow(std::abs(s), 0.6), s), 0.0});
    }
    return Brilliant(outline, 0.6, 0.34, -0.9);
}
GemMesh Trillion() {
    return Brilliant(CurvedTriangle(4, 0.12), 0.58, 0.26, -0.72);
}
GemMesh Radiant() {
    return Brilliant(WithMidpoints(CutCornerRectangle(1.25, 0.9, 0.28)), 0.6, 0.3, -0.82);
}
GemMesh Kite() {
    const Outline corners = {
        {0.0, -1.0, 0.0}, {0.75, 0.3, 0.0}, {0.0, 1.3, 0.0}, {-0.75, 0.3, 0.0}};
    return Brilliant(WithMidpoints(corners), 0.55, 0.26, -0.7);
}
GemMesh HalfMoon() {
    Outline outline;
    for (int i = 0; i <= 10; ++i) {
        const double a = kPi * i / 10;
        outline.push_back({std::cos(a), std::sin(a) - 0.42, 0.0});
    }
    outline.push_back({0.0, -0.42, 0.0});
    return Brilliant(outline, 0.55, 0.26, -0.75);
}

GemMesh EmeraldCut() {
    const Ring crown[] = {{0.72, 0.2}, {0.84, 0.15}, {0.93, 0.08}};
    const Ring pavilion[] = {{0.82, -0.16}, {0.62, -0.32}, {0.40, -0.46}, {0.16, -0.56}};
    return StepCut(CutCornerRectangle(1.4, 1.0, 0.3), crown, pavilion);
}
GemMesh Baguette() {
    const Ring crown[] = {{0.8, 0.16}, {0.9, 0.1}};
    const Ring pavilion[] = {{0.72, -0.18}, {0.4, -0.36}, {0.12, -0.46}};
    return StepCut({{1.6, -0.55, 0}, {1.6, 0.55, 0}, {-1.6, 0.55, 0}, {-1.6, -0.55, 0}}, crown,
                   pavilion);
}
GemMesh TaperedBaguette() {
    const Ring crown[] = {{0.78, 0.15}, {0.9, 0.09}};
    const Ring pavilion[] = {{0.7, -0.2}, {0.35, -0.38}, {0.1, -0.47}};
    return StepCut({{-1.5, -0.6, 0}, {1.5, -0.32, 0}, {1.5, 0.32, 0}, {-1.5, 0.6, 0}}, crown,
                   pavilion);
}
GemMesh Asscher() {
    const Ring crown[] = {{0.66, 0.3}, {0.8, 0.22}, {0.91, 0.12}};
    const Ring pavilion[] = {{0.78, -0.2}, {0.55, -0.4}, {0.3, -0.56}, {0.0, -0.68}};
    return StepCut(CutCornerRectangle(1.0, 1.0, 0.4), crown, pavilion);
}
GemMesh StepHexagon() {
    const Ring crown[] = {{0.68, 0.22}, {0.86, 0.13}};
    const Ring pavilion[] = {{0.76, -0.24}, {0.46, -0.46}, {0.0, -0.64}};
    return StepCut(Ellipse(6, 1.0, 1.0), crown, pavilion);
}
GemMesh Shield() {
    const Outline outline = {
        {0.0, -1.05, 0}, {0.82, -0.15, 0}, {0.86, 0.72, 0}, {-0.86, 0.72, 0}, {-0.82, -0.15, 0}};
    const Ring crown[] = {{0.62, 0.22}, {0.8, 0.16}, {0.92, 0.09}};
    const Ring pavilion[] = {{0.7, -0.25}, {0.38, -0.45}, {0.0, -0.6}};
    return StepCut(outline, crown, pavilion);
}

GemMesh Princess() {
    const Outline square = {{1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, {-1, -1, 0}};
    const Outline diamond = {{0.9, 0, 0}, {0, 0.9, 0}, {-0.9, 0, 0}, {0, -0.9, 0}};
    std::vector<Vec3> points = {{0.0, 0.0, -0.95}};
    AddRing(points, square, {0.7, 0.2});
    AddRing(points, square, {0.88, 0.1});
    AddRing(points, square, {1.0, kGirdle});
    AddRing(points, square, {1.0, -kGirdle});
    AddRing(points, diamond, {1.0, -0.3});
    AddRing(points, square, {0.45, -0.5});
    return Hull(points);
}
GemMesh SingleCut() {
    const Outline octagon = Ellipse(8, 1.0, 1.0, kPi / 8);
    const Ring rings[] = {{0.6, 0.24}, {1.0, 0.025}, {1.0, -0.025}};
    const Vec3 culet{0.0, 0.0, -0.72};
    return RingHull(octagon, rings, std::span(&culet, 1));
}
GemMesh RoseCut() {
    std::vector<Vec3> points = {{0.0, 0.0, 0.52}};
    AddRing(points, Ellipse(6, 1.0, 1.0, kPi / 6), {0.48, 0.4});
    AddRing(points, Ellipse(12, 1.0, 1.0, kPi / 12), {0.84, 0.24});
    AddRing(points, Ellipse(12, 1.0, 1.0), {1.0, 0.06});
    AddRing(points, Ellipse(12, 1.0, 1.0), {1.0, 0.0});
    return Hull(points);
}
GemMesh Briolette() {
    // A drop along y, faceted all round in alternating rings of eight.
    const double profile[][2] = {{0.9, 0.26},   {0.58, 0.48},  {0.24, 0.66}, {-0.12, 0.76},
                                 {-0.46, 0.72}, {-0.74, 0.54}, {-0.94, 0.28}};
    std::vector<Vec3> points = {{0.0, 1.3, 0.0}, {0.0, -1.06, 0.0}};
    for (std::size_t k = 0; k < std::size(profile); ++k) {
        const double phase = (k % 2) * kPi / 8;
        for (const Vec3& p : Ellipse(8, profile[k][1], profile[k][1], phase)) {
            points.push_back({p.x, profile[k][0], p.y});
        }
    }
    return Hull(points);
}
GemMesh QuartzCrystal() {
    std::vector<Vec3> points = {{0.0, 1.35, 0.0}, {0.0, -1.2, 0.0}};
    for (const Vec3& p : Ellipse(6, 0.5, 0.5)) {
        points.push_back({p.x, 0.75, p.y});
        points.push_back({p.x, -0.65, p.y});
    }
    return Hull(points);
}
GemMesh Octahedron() {
    const Vec3 points[] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    return Hull(points);
}
GemMesh Icosahedron() {
    const double g = std::numbers::phi;
    std::vector<Vec3> points;
    for (double a : {-1.0, 1.0}) {
        for (double b : {-g, g}) {
            points.insert(points.end(), {{0, a, b}, {a, b, 0}, {b, 0, a}});
        }
    }
    return Hull(points);
}
GemMesh Dodecahedron() {
    const double g = std::numbers::phi;
    std::vector<Vec3> points;
    for (double a : {-1.0, 1.0}) {
        for (double b : {-1.0, 1.0}) {
            for (double c : {-1.0, 1.0}) {
                points.push_back({a, b, c});
            }
            points.insert(points.end(), {{0, a / g, b * g}, {a / g, b * g, 0}, {b * g, 0, a / g}});
        }
    }
    return Hull(points);
}
GemMesh RhombicDodecahedron() {
    std::vector<Vec3> points = {{2, 0, 0},  {-2, 0, 0}, {0, 2, 0},
                                {0, -2, 0}, {0, 0, 2},  {0, 0, -2}};
    for (double a : {-1.0, 1.0}) {
        for (double b : {-1.0, 1.0}) {
            for (double c : {-1.0, 1.0}) {
                points.push_back({a, b, c});
            }
        }
    }
    return Hull(points);
}

GemMesh Heart() {
    Outline outline;
    for (int i = 0; i < 24; ++i) {
        const double t = 2.0 * kPi * i / 24;
        const double s = std::sin(t);
        // The classic heart curve, mirrored to run counter-clockwise, centred on a point that
        // sees its whole outline.
        const double y =
            (13 * std::cos(t) - 5 * std::cos(2 * t) - 2 * std::cos(3 * t) - std::cos(4 * t)) / 16;
        outline.push_back({-s * s * s, y + 0.2, 0.0});
    }
    const Ring rings[] = {{0.55, 0.26},  {0.82, 0.15}, {1.0, 0.025},
                          {1.0, -0.025}, {0.62, -0.3}, {0.0, -0.62}};
    return RingStack(outline, rings);
}
GemMesh Star() {
    Outline outline;
    for (int i = 0; i < 10; ++i) {
        const double a = kPi / 2 + kPi * i / 5;
        const double r = i % 2 == 0 ? 1.0 : 0.42;
        outline.push_back({r * std::cos(a), r * std::sin(a), 0.0});
    }
    const Ring rings[] = {{0.0, 0.34}, {1.0, 0.04}, {1.0, -0.04}, {0.0, -0.34}};
    return RingStack(outline, rings);
}
GemMesh Flower() {
    Outline outline;
    for (int i = 0; i < 36; ++i) {
        const double a = 2.0 * kPi * i / 36;
        const double petal = std::sin(3.0 * a);
        outline.push_back(Vec3{std::cos(a), std::sin(a), 0.0} * (0.72 + 0.28 * petal * petal));
    }
    const Ring rings[] = {{0.5, 0.22},  {0.8, 0.14},   {1.0, 0.03},
                          {1.0, -0.03}, {0.55, -0.28}, {0.0, -0.55}};
    return RingStack(outline, rings);
}
GemMesh Cross() {
    const double w = 0.32;
    const Outline outline = {{w, -1, 0}, {w, -w, 0},  {1, -w, 0},  {1, w, 0},
                             {w, w, 0},  {w, 1, 0},   {-w, 1, 0},  {-w, w, 0},
                             {-1, w, 0}, {-1, -w, 0}, {-w, -w, 0}, {-w, -1, 0}};
    const Ring rings[] = {{0.6, 0.2}, {1.0, 0.05}, {1.0, -0.05}, {0.6, -0.2}};
    return RingStack(outline, rings);
}

}  // namespace

std::vector<GemShape> BuildGemShapes() {
    std::vector<GemShape> shapes = {
        {"round-brilliant", RoundBrilliant()},
        {"oval", Oval()},
        {"marquise", Marquise()},
        {"pear", PearCut()},
        {"heart", Heart()},
        {"cushion", Cushion()},
        {"trillion", Trillion()},
        {"radiant", Radiant()},
        {"kite", Kite()},
        {"half-moon", HalfMoon()},
        {"emerald-cut", EmeraldCut()},
        {"baguette", Baguette()},
        {"tapered-baguette", TaperedBaguette()},
        {"asscher", Asscher()},
        {"step-hexagon", StepHexagon()},
        {"shield", Shield()},
        {"princess", Princess()},
        {"single-cut", SingleCut()},
        {"rose-cut", RoseCut()},
        {"briolette", Briolette()},
        {"quartz-crystal", QuartzCrystal()},
        {"octahedron", Octahedron()},
        {"icosahedron", Icosahedron()},
        {"dodecahedron", Dodecahedron()},
        {"rhombic-dodecahedron", RhombicDodecahedron()},
        {"star", Star()},
        {"flower", Flower()},
        {"cross", Cross()},
    };
    for (GemShape& shape : shapes) {
        shape.mesh.Normalise();
    }
    return shapes;
}
