#include "reconstruction/core/scene.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace kestrova::reconstruction {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr Vec3 kAlongY{0, -1, 0}; // the direction of the lines, the actors and DCFollowPath
constexpr Vec3 kUpZ{0, 0, 1};

// Rotation of v about the unit axis by the angle (radians), right-handed.
Vec3 Rotate(Vec3 v, Vec3 axis, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    return v * c + Cross(axis, v) * s + axis * (Dot(axis, v) * (1.0 - c));
}

// The inverse of a frame without scale or shear (rotation and translation).
Mat4 RigidInverse(const Mat4& m)
{
    Mat4 inv;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            inv.at(r, c) = m.at(c, r);
    for (int r = 0; r < 3; ++r)
        inv.at(r, 3) = -(inv.at(r, 0) * m.at(0, 3) + inv.at(r, 1) * m.at(1, 3) + inv.at(r, 2) * m.at(2, 3));
    return inv;
}

// Second derivatives of the natural cubic spline through values at 0, 1, ..., n - 1.
std::vector<double> NaturalSecondDerivatives(const std::vector<double>& y)
{
    const std::size_t n = y.size();
    std::vector<double> m(n, 0.0);
    if (n < 3)
        return m;
    // Tridiagonal system m[i-1] + 4 m[i] + m[i+1] = 6 (y[i+1] - 2 y[i] + y[i-1]), m[0] = m[n-1] = 0.
    std::vector<double> c(n, 0.0), d(n, 0.0);
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double rhs = 6.0 * (y[i + 1] - 2.0 * y[i] + y[i - 1]);
        const double denom = 4.0 - c[i - 1];
        c[i] = 1.0 / denom;
        d[i] = (rhs - d[i - 1]) / denom;
    }
    for (std::size_t i = n - 2; i >= 1; --i)
        m[i] = d[i] - c[i] * m[i + 1];
    return m;
}

} // namespace

const char* SceneObject::ClassName() const
{
    switch (kind_) {
    case ObjectKind::Lines: return "TGLLines";
    case ObjectKind::Actor: return "TGLActor";
    case ObjectKind::Camera: return "TGLCamera";
    case ObjectKind::Light: return "TGLLightSource";
    case ObjectKind::Dummy: break;
    }
    return "TGLDummyCube";
}

Mat4 SceneObject::LocalMatrix() const
{
    const Vec3 z = Normalized(direction);
    const Vec3 x = Normalized(Cross(up, z));
    const Vec3 y = Cross(z, x);
    Mat4 m;
    const Vec3 cols[3] = {x * scale.x, y * scale.y, z * scale.z};
    for (int c = 0; c < 3; ++c) {
        m.at(0, c) = cols[c].x;
        m.at(1, c) = cols[c].y;
        m.at(2, c) = cols[c].z;
    }
    m.at(0, 3) = position.x;
    m.at(1, 3) = position.y;
    m.at(2, 3) = position.z;
    return m;
}

Mat4 SceneObject::WorldMatrix() const
{
    return parent_ ? parent_->WorldMatrix() * LocalMatrix() : LocalMatrix();
}

Vec3 SceneObject::WorldPosition() const
{
    return parent_ ? parent_->WorldMatrix().Point(position) : position;
}

bool SceneObject::ShownInWorld() const
{
    for (const SceneObject* o = this; o; o = o->parent_)
        if (!o->visible)
            return false;
    return true;
}

const std::vector<Vec3>& SceneLines::Curve() const
{
    if (curveNodes_ == nodes.size() && !curve_.empty())
        return curve_;
    curve_.clear();
    curveNodes_ = nodes.size();
    const std::size_t n = nodes.size();
    if (n < 3) {
        curve_ = nodes;
        return curve_;
    }
    std::vector<double> xs(n), ys(n), zs(n);
    for (std::size_t i = 0; i < n; ++i)
        xs[i] = nodes[i].x, ys[i] = nodes[i].y, zs[i] = nodes[i].z;
    const auto mx = NaturalSecondDerivatives(xs), my = NaturalSecondDerivatives(ys), mz = NaturalSecondDerivatives(zs);
    auto at = [](const std::vector<double>& y, const std::vector<double>& m, std::size_t i, double t) {
        const double a = 1.0 - t;
        return a * y[i] + t * y[i + 1] + ((a * a * a - a) * m[i] + (t * t * t - t) * m[i + 1]) / 6.0;
    };
    curve_.reserve((n - 1) * kDivisions + 1);
    for (std::size_t i = 0; i + 1 < n; ++i)
        for (int s = 0; s < kDivisions; ++s) {
            const double t = static_cast<double>(s) / kDivisions;
            curve_.push_back({at(xs, mx, i, t), at(ys, my, i, t), at(zs, mz, i, t)});
        }
    curve_.push_back(nodes.back());
    return curve_;
}

void MeshActor::SetMesh(Mesh mesh)
{
    static std::atomic<unsigned long> revisions{0};
    mesh_ = std::move(mesh);
    revision_ = ++revisions;
}

Vec3 SceneCamera::TargetPosition() const
{
    return target ? target->WorldPosition() : WorldPosition() + (Parent() ? Parent()->WorldMatrix().Direction(direction) : direction);
}

Vec3 SceneCamera::WorldUp() const
{
    return Parent() ? Parent()->WorldMatrix().Direction(up) : up;
}

Mat4 SceneCamera::ViewMatrix() const
{
    return LookAt(WorldPosition(), TargetPosition(), WorldUp());
}

Mat4 SceneCamera::ProjectionMatrix(int width, int height) const
{
    const double nearPlane = 0.1;
    const double halfW = nearPlane * std::max(width, 1) / (2.0 * focalLength);
    const double halfH = nearPlane * std::max(height, 1) / (2.0 * focalLength);
    return Frustum(-halfW, halfW, -halfH, halfH, nearPlane, depthOfView + nearPlane);
}

Vec3 SceneCamera::AbsoluteUp() const
{
    const Vec3 sight = Normalized(TargetPosition() - WorldPosition());
    const Vec3 up = WorldUp();
    return Normalized(up - sight * Dot(up, sight));
}

Vec3 SceneCamera::AbsoluteRight() const
{
    const Vec3 sight = Normalized(TargetPosition() - WorldPosition());
    return Normalized(Cross(sight, AbsoluteUp()));
}

void SceneCamera::MoveAroundTarget(double pitchDegrees, double turnDegrees)
{
    const Vec3 eye = WorldPosition();
    const Vec3 centre = TargetPosition();
    Vec3 offset = eye - centre;
    Vec3 up = AbsoluteUp();
    const Vec3 right = AbsoluteRight();
    const double pitch = pitchDegrees * kPi / 180.0, turn = turnDegrees * kPi / 180.0;
    offset = Rotate(offset, right, pitch);
    up = Rotate(up, right, pitch);
    offset = Rotate(offset, up, -turn);
    const Mat4 toParent = Parent() ? RigidInverse(Parent()->WorldMatrix()) : Mat4{};
    position = toParent.Point(centre + offset);
    this->up = toParent.Direction(up);
}

void SceneCamera::AdjustDistanceToTarget(double factor)
{
    const Vec3 centre = TargetPosition();
    const Mat4 toParent = Parent() ? RigidInverse(Parent()->WorldMatrix()) : Mat4{};
    position = toParent.Point(centre + (WorldPosition() - centre) * factor);
}

template <typename T, typename... Args>
T* Scene::Make(SceneObject* parent, Args&&... args)
{
    auto object = std::make_unique<T>(std::forward<Args>(args)...);
    T* raw = object.get();
    owned_.push_back(std::move(object));
    raw->parent_ = parent;
    if (parent)
        parent->children_.push_back(raw);
    else
        root_.push_back(raw);
    return raw;
}

Scene::Scene()
{
    Build();
}

Scene::~Scene() = default;

void Scene::Build()
{
    DCFollowPath = Make<SceneObject>(nullptr, ObjectKind::Dummy, "DCFollowPath");
    DCFollowPath->direction = kAlongY;
    DCFollowPath->up = kUpZ;
    GLCamera2 = Make<SceneCamera>(DCFollowPath, "GLCamera2");
    GLCamera2->position = {10, 8, 10};
    GLCamera2->direction = kAlongY;
    GLCamera2->up = kUpZ;
    GLDummyCube1 = Make<SceneObject>(DCFollowPath, ObjectKind::Dummy, "GLDummyCube1");
    GLDummyCube1->direction = kAlongY;
    GLDummyCube1->up = kUpZ;
    GLCamera2->target = GLDummyCube1;

    auto makeActor = [this](const char* name) {
        MeshActor* a = Make<MeshActor>(nullptr, name);
        a->visible = false;
        a->scale = {0.25, 0.25, 0.25};
        a->direction = kAlongY;
        a->up = kUpZ;
        a->normalsInverted = true;
        return a;
    };
    GLActor1 = makeActor("GLActor1");
    GLActor1->back.emission = {0.647059f, 0.164706f, 0.164706f, 1.0f};
    GLActor1->back.specular = {0.53f, 0.12f, 0.47f, 1.0f};
    GLActor1->back.shininess = 30;
    GLActor1->front.ambient = {0.62352f, 0.372549f, 0.623529f, 1.0f};
    GLActor1->front.emission = {0.55f, 0.09f, 0.09f, 1.0f};
    GLActor1->front.shininess = 50;
    GLActor2 = makeActor("GLActor2");
    GLActor2->back.emission = {0.576471f, 0.858824f, 0.439216f, 1.0f};
    GLActor2->front.emission = {0.53f, 0.12f, 0.47f, 1.0f};

    DCCatheter = Make<SceneObject>(nullptr, ObjectKind::Dummy, "DCCatheter");
    DCCatheter->direction = kAlongY;
    DCCatheter->up = kUpZ;

    DCCamera = Make<SceneObject>(nullptr, ObjectKind::Dummy, "DCCamera");
    DCCamera->up = {0, 1, 0};
    GLLightSource2 = Make<SceneLight>(DCCamera, "GLLightSource2", true);
    GLLightSource2->position = {-30, 30, 40};
    GLCamera = Make<SceneCamera>(DCCamera, "GLCamera");
    GLCamera->position = {4.543213, 3.753088, 4.543213};
    GLCamera->direction = kAlongY;
    GLCamera->up = kUpZ;
    GLCamera->target = DCCamera;
    GLLightSource1 = Make<SceneLight>(DCCamera, "GLLightSource1", true);
    GLLightSource1->position = {30, -30, 40};
    GLLightSource3 = Make<SceneLight>(DCCamera, "GLLightSource3", false);
    GLLightSource3->position = {0, 0, 120};
    GLLightSource3->spotCutOff = 90;
}

SceneObject* Scene::Find(const std::string& name) const
{
    for (const auto& o : owned_)
        if (o->name == name)
            return o.get();
    return nullptr;
}

SceneLines* Scene::AddSceneLine(int tag, double scale, const std::string& name, float width,
                                const std::vector<Vec3>& points, float red, float green, float blue)
{
    SceneLines* line = Make<SceneLines>(nullptr, name);
    line->direction = kAlongY;
    line->up = kUpZ;
    line->nodeColour = line->lineColour = {red, green, blue, 1.0f};
    line->width = width;
    line->tag = tag;
    line->nodes.reserve(points.size());
    for (const Vec3& p : points)
        line->nodes.push_back(p * scale);
    return line;
}

std::vector<SceneLines*> Scene::LinesFromLast() const
{
    std::vector<SceneLines*> lines;
    for (auto it = root_.rbegin(); it != root_.rend(); ++it)
        if ((*it)->Kind() == ObjectKind::Lines)
            lines.push_back(static_cast<SceneLines*>(*it));
    return lines;
}

void Scene::HighlightFrameContours(int k)
{
    for (SceneLines* line : LinesFromLast()) {
        if (line->tag == k)
            line->nodeColour = kHighlightColour;
        else if (line->name.starts_with('o'))
            line->nodeColour = kOuterLineColour;
        else if (line->name.starts_with('i'))
            line->nodeColour = kInnerLineColour;
    }
}

void Scene::SetContoursVisible(char prefix, bool shown)
{
    for (SceneLines* line : LinesFromLast())
        if (!line->name.empty() && line->name.front() == prefix)
            line->visible = shown;
}

bool Scene::SetCatheterVisible(bool shown)
{
    for (SceneLines* line : LinesFromLast())
        if (line->name.starts_with('c')) {
            line->visible = shown;
            return true;
        }
    return false;
}

bool Scene::HasLineWithTag(int tag) const
{
    const auto lines = LinesFromLast();
    return std::any_of(lines.begin(), lines.end(), [tag](const SceneLines* l) { return l->tag == tag; });
}

SceneLines* Scene::PickLine(const SceneCamera& camera, int width, int height, double x, double y,
                            double tolerance) const
{
    const Mat4 vp = camera.ProjectionMatrix(width, height) * camera.ViewMatrix();
    SceneLines* best = nullptr;
    double bestDistance = tolerance;
    for (SceneLines* line : LinesFromLast()) {
        if (!line->ShownInWorld())
            continue;
        const Mat4 mvp = vp * line->WorldMatrix();
        const auto& curve = line->Curve();
        ScreenPoint previous;
        for (std::size_t i = 0; i < curve.size(); ++i) {
            const ScreenPoint p = ProjectToWindow(mvp, curve[i], width, height);
            double d = std::numeric_limits<double>::infinity();
            if (p.inFront && i > 0 && previous.inFront)
                d = SegmentDistance(x, y, previous.x, previous.y, p.x, p.y);
            else if (p.inFront)
                d = std::hypot(p.x - x, p.y - y);
            if (d <= bestDistance) {
                bestDistance = d;
                best = line;
            }
            previous = p;
        }
    }
    return best;
}

void Scene::Clear()
{
    root_.clear();
    owned_.clear();
    DCFollowPath = DCCatheter = DCCamera = GLDummyCube1 = nullptr;
    GLCamera = GLCamera2 = nullptr;
    GLActor1 = GLActor2 = nullptr;
    GLLightSource1 = GLLightSource2 = GLLightSource3 = nullptr;
}

FlyThroughTick FlyThroughStep(double T, int frameCount, std::size_t pathSize, std::size_t listSize)
{
    FlyThroughTick tick;
    const double whole = std::trunc(T);
    if (!(whole >= 0.0))
        return tick;
    if (whole >= static_cast<double>(frameCount) - 1.0)
        tick.stop = true;
    if (whole >= 10000.0)
        return tick;
    const auto a = static_cast<std::size_t>(whole);
    if (a + 1 < pathSize && a < listSize)
        tick.frame = static_cast<int>(a);
    return tick;
}

} // namespace kestrova::reconstruction
