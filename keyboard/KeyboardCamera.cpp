#include "keyboard/KeyboardCamera.h"

#include <cmath>

#include "platform/graphics/D3DMath.h"

using namespace platform;

namespace {

// Half the horizontal field of view, 30 degrees, and the dragged jewel's half view, 12 degrees.
constexpr double kHalfWidthAngle = 0.52359879016876221;
constexpr double kJewelHalfAngle = 0.20943951606750488;
constexpr float kJewelFieldOfView = 0.418879032f;

KeyboardCamera Compose(const D3DVECTOR3& eye, const D3DVECTOR3& at, float fieldOfView, float aspect,
                       float zFar) {
    const D3DVECTOR3 up{0.0f, 1.0f, 0.0f};
    D3DMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, fieldOfView, aspect, 0.0f, zFar);
    KeyboardCamera camera;
    D3DXMatrixMultiply(&camera.viewProjection, &view, &projection);
    camera.eye = eye;
    return camera;
}

}  // namespace

KeyboardCamera BuildKeyboardCamera(std::uint32_t width, std::uint32_t height, float keyboardWidth,
                                   float keyboardDepth) {
    const auto t = static_cast<float>(std::tan(kHalfWidthAngle));
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float a = std::atan(t * h / w);  // the vertical half-angle
    // At this distance the keyboard's width spans the horizontal view.
    const float distance = keyboardWidth * 0.5f / t;
    const D3DVECTOR3 eye{0.0f, std::tan(a) * distance, keyboardDepth * 0.25f - distance};
    const D3DVECTOR3 at{0.0f, 0.0f, keyboardDepth * 0.75f};
    return Compose(eye, at, 2.0f * a, w / h, keyboardDepth * 5.0f + distance);
}

KeyboardCamera BuildDraggedJewelCamera() {
    const auto t2 = static_cast<float>(std::tan(kJewelHalfAngle));
    const D3DVECTOR3 eye{0.0f, 0.0f, -2.0f / t2};
    return Compose(eye, D3DVECTOR3{0.0f, 0.0f, 0.0f}, kJewelFieldOfView, 1.0f, 2.0f / t2);
}
