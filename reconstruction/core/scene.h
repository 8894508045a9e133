// The 3D view's scene as plain data: what the view shows and the rules of its controls,
// free of any window or graphics context so they can be tested on their own. The GL widget
// (reconstruction/ui/scene_renderer.h) only draws it.
//
// The tree at creation (positions, directions and ups in the parent's frame):
//   DCFollowPath (dummy, direction (0,-1,0), up (0,0,1)) - GLCamera2 (position (10, 8, 10),
//                 target GLDummyCube1), GLDummyCube1
//   GLActor1 (outer wall), GLActor2 (inner wall): invisible, scale 0.25, direction
//                 (0,-1,0), up (0,0,1), normals inverted
//   DCCatheter (dummy, direction (0,-1,0), up (0,0,1))
//   DCCamera (dummy, up (0,1,0)) - GLLightSource2 (parallel, (-30, 30, 40)), GLCamera
//                 (position (4.543213, 3.753088, 4.543213), target DCCamera),
//                 GLLightSource1 (parallel, (30, -30, 40)), GLLightSource3 ((0, 0, 120))
// Scene lines (AddSceneLine) are added after these as top-level objects. A node's frame
// maps its local z to its direction and its local y to its up, so the lines, the actors
// and DCFollowPath all show a model point (x, y, z) at (x, -z, y) (times their scale):
// the model's height (y) points up on the screen.
#pragma once

#include "reconstruction/core/scene_math.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::reconstruction {

struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
    friend bool operator==(const Colour&, const Colour&) = default;
};

enum class ObjectKind { Dummy, Lines, Actor, Camera, Light };

// One node of the scene: a frame (position, direction, up, scale) under its parent.
class SceneObject {
public:
    SceneObject(ObjectKind kind, std::string name) : name(std::move(name)), kind_(kind) {}
    virtual ~SceneObject() = default;
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    ObjectKind Kind() const { return kind_; }
    // The class name the controls look for ("TGLLines" for scene lines).
    const char* ClassName() const;

    std::string name;
    int tag = 0;
    bool visible = true;
    Vec3 position;
    Vec3 direction{0, 0, 1};
    Vec3 up{0, 1, 0};
    Vec3 scale{1, 1, 1};

    SceneObject* Parent() const { return parent_; }
    const std::vector<SceneObject*>& Children() const { return children_; }

    // Local frame: columns right (up x direction), up, direction, position; with the scale.
    Mat4 LocalMatrix() const;
    Mat4 WorldMatrix() const;
    Vec3 WorldPosition() const;
    // Shown when it and every parent are visible.
    bool ShownInWorld() const;

private:
    friend class Scene;
    ObjectKind kind_;
    SceneObject* parent_ = nullptr;
    std::vector<SceneObject*> children_;
};

// A polyline drawn through its nodes as a cubic spline, in its node colour.
class SceneLines : public SceneObject {
public:
    explicit SceneLines(std::string name) : SceneObject(ObjectKind::Lines, std::move(name)) {}
    std::vector<Vec3> nodes;   // local coordinates
    Colour nodeColour;
    Colour lineColour;
    float width = 1.0f;
    // Samples between two nodes of the drawn spline.
    static constexpr int kDivisions = 10;
    // The drawn polyline (local coordinates): a natural cubic spline through the nodes,
    // parametrised by node index, kDivisions samples per span.
    const std::vector<Vec3>& Curve() const;

private:
    mutable std::vector<Vec3> curve_;
    mutable std::size_t curveNodes_ = static_cast<std::size_t>(-1);
};

struct Material {
    Colour ambient{0.2f, 0.2f, 0.2f, 1.0f};
    Colour diffuse{0.8f, 0.8f, 0.8f, 1.0f};
    Colour specular{0.0f, 0.0f, 0.0f, 1.0f};
    Colour emission{0.0f, 0.0f, 0.0f, 1.0f};
    float shininess = 0.0f;
};

// A triangle mesh: positions and normals (three floats per vertex), triangles by index.
struct Mesh {
    std::vector<float> positions;
    std::vector<float> normals;
    std::vector<unsigned> triangles;
    bool Empty() const { return triangles.empty(); }
};

// A mesh actor: a wall surface.
class MeshActor : public SceneObject {
public:
    explicit MeshActor(std::string name) : SceneObject(ObjectKind::Actor, std::move(name)) {}
    Material front;
    Material back;
    bool normalsInverted = true;
    bool wireframe = false;      // front faces drawn as lines
    bool blending = true;        // transparency blending
    bool textureDisabled = true; // the texture is never drawn (the control is hidden)

    const Mesh& GetMesh() const { return mesh_; }
    void SetMesh(Mesh mesh);
    // Unique for every mesh ever set (the renderer uploads a mesh again when it changes).
    unsigned long Revision() const { return revision_; }

private:
    Mesh mesh_;
    unsigned long revision_ = 0;
};

class SceneCamera : public SceneObject {
public:
    explicit SceneCamera(std::string name) : SceneObject(ObjectKind::Camera, std::move(name)) {}
    SceneObject* target = nullptr;
    double focalLength = 200.0;  // pixels per unit of the image plane at distance 1
    double depthOfView = 1000.0;
    double nearPlaneBias = 0.025;

    // The view and projection for a window of that many pixels.
    Mat4 ViewMatrix() const;
    Mat4 ProjectionMatrix(int width, int height) const;
    Vec3 WorldUp() const;
    Vec3 TargetPosition() const;

    // The navigation: turns around the target (degrees; pitch about the right vector, turn
    // about the up vector), scales the distance to the target.
    void MoveAroundTarget(double pitchDegrees, double turnDegrees);
    void AdjustDistanceToTarget(double factor);
    // The camera's up and right vectors in world coordinates, perpendicular to its line of
    // sight towards the target.
    Vec3 AbsoluteUp() const;
    Vec3 AbsoluteRight() const;
};

class SceneLight : public SceneObject {
public:
    SceneLight(std::string name, bool parallel) : SceneObject(ObjectKind::Light, std::move(name)), parallel(parallel) {}
    bool parallel;
    double spotCutOff = 180.0;
};

// Colours of the scene lines (node colours) and the actors' materials.
inline constexpr Colour kCatheterColour{0.498039f, 0.0f, 1.0f, 1.0f};
inline constexpr Colour kOuterLineColour{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr Colour kInnerLineColour{0.0f, 0.0f, 1.0f, 1.0f};
inline constexpr Colour kHighlightColour{1.0f, 0.0f, 0.0f, 1.0f};

class Scene {
public:
    Scene();
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // The top-level objects (children of the root) in order.
    const std::vector<SceneObject*>& TopLevel() const { return root_; }
    // Every object of the scene, at any depth.
    std::size_t ObjectCount() const { return owned_.size(); }
    SceneObject* Find(const std::string& name) const;

    SceneObject* DCFollowPath = nullptr;
    SceneCamera* GLCamera2 = nullptr;
    SceneObject* GLDummyCube1 = nullptr;
    MeshActor* GLActor1 = nullptr;
    MeshActor* GLActor2 = nullptr;
    SceneObject* DCCatheter = nullptr;
    SceneObject* DCCamera = nullptr;
    SceneLight* GLLightSource2 = nullptr;
    SceneCamera* GLCamera = nullptr;
    SceneLight* GLLightSource1 = nullptr;
    SceneLight* GLLightSource3 = nullptr;

    // Adds one polyline as a top-level object: direction (0, -1, 0), up (0, 0, 1), node
    // and line colour (r, g, b, 1), width, name, tag, one node per point times scale.
    SceneLines* AddSceneLine(int tag, double scale, const std::string& name, float width,
                             const std::vector<Vec3>& points, float red, float green, float blue);

    // The top-level line objects, from the last to the first.
    std::vector<SceneLines*> LinesFromLast() const;

    // Colours the lines for analysed frame k: Tag k red; else names starting "o" white,
    // "i" blue; other lines (the catheter) keep their colour.
    void HighlightFrameContours(int k);
    // Shows or hides every top-level line whose name starts with the prefix.
    void SetContoursVisible(char prefix, bool shown);
    // Shows or hides the first top-level line, searching from the last, whose name starts
    // with "c" (the catheter). Returns false when there is none.
    bool SetCatheterVisible(bool shown);
    // Whether some top-level line has that tag.
    bool HasLineWithTag(int tag) const;

    // The visible line nearest to the window position (pixels) within `tolerance` pixels,
    // seen through the camera in a window of width x height pixels; null when none.
    SceneLines* PickLine(const SceneCamera& camera, int width, int height, double x, double y,
                         double tolerance = 4.0) const;

    // Frees every top-level object with everything under it (the view's close).
    void Clear();

private:
    template <typename T, typename... Args>
    T* Make(SceneObject* parent, Args&&... args);
    void Build();

    std::vector<std::unique_ptr<SceneObject>> owned_;
    std::vector<SceneObject*> root_;
};

// The fly-through along the catheter path, on the cadencer's whole time T (seconds, the
// clock running 4 times faster than real time).
struct FlyThroughTick {
    bool stop = false;                 // the path's end is reached: stop the fly-through
    std::optional<int> frame;          // show this analysed frame, moving the camera to it
};
// a = trunc(T): stop when a >= N - 1; nothing when a >= 10000; otherwise frame a when path
// point a + 1 exists and a is an index of the end-diastolic list (`listSize` entries).
FlyThroughTick FlyThroughStep(double T, int frameCount, std::size_t pathSize, std::size_t listSize);

} // namespace kestrova::reconstruction
