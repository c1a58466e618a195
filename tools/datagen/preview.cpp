// datagen-preview OUT_DIR: draws the generated models with the transforms
// the scenes use (eye space, scales, rotations, camera paths) and writes one
// PNG per moment, plus every texture as a PNG. A look at the data before the
// scenes exist, and a quick one while tuning a model.
#include "tools/datagen/models.h"
#include "tools/datagen/textures.h"

#include "app/window.h"
#include "paths/spline.h"
#include "platform/headless_gl.h"
#include "platform/png_file.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kW = 640, kH = 480;

GLuint Upload(const Image& img) {
  std::vector<unsigned char> rgb;
  for (const Colour& c : img.pixels)
    for (float f : {c.r, c.g, c.b}) rgb.push_back((unsigned char)std::lround(std::clamp(f, 0.0f, 1.0f) * 255));
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, img.width, img.height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return id;
}

void SavePNG(const Image& img, const std::string& path) {
  std::vector<unsigned char> rgb;
  for (int y = img.height - 1; y >= 0; --y)
    for (int x = 0; x < img.width; ++x) {
      const Colour c = img.At(x, y);
      for (float f : {c.r, c.g, c.b}) rgb.push_back((unsigned char)std::lround(std::clamp(f, 0.0f, 1.0f) * 255));
    }
  WritePNG(path.c_str(), img.width, img.height, rgb.data());
}

// As the show's mesh drawing: translate, rotate x, y, z, one triangle at a time.
void Draw(const Mesh& m, float px, float py, float pz, float rx, float ry, float rz) {
  glTranslatef(px, py, pz);
  glRotatef(rx, 1, 0, 0);
  glRotatef(ry, 0, 1, 0);
  glRotatef(rz, 0, 0, 1);
  for (const auto& f : m.faces) {
    glBegin(GL_TRIANGLES);
    glNormal3f(0, 0, 1);
    for (uint32_t i : f) {
      const MeshVertex& v = m.vertices[i];
      glTexCoord2f(v.u, v.v);
      glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
  }
}

struct World {
  Mesh galaxy = BuildGalaxy(), nena1 = BuildNena1(), nena2 = BuildNena2(), tio1 = BuildTio1();
  Mesh caraTio = BuildCaraTio1(), caraTia = BuildCaraTia1(), mano = BuildMano1(), fly = BuildFly();
  Mesh castle1 = BuildCastle1(), castle2 = BuildCastle2(), castle3 = BuildCastle3();
  Mesh greet = BuildGreet1(), bolah = BuildBolah8();
  GLuint tNena1, tGalaxy, tTio1, tCaraTio, tCaraTia, tFly, tStone, tGround, tCloud, tBrick, tCredit, tCode, tVisual;
  SPL_PointType title{}, titlePath{}, castle{}, castlePath{}, flight{}, flightPath{}, credits{}, creditsPath{};
};

void Frame() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glColor4f(1, 1, 1, 1);
}

void Save(const std::string& dir, const std::string& name) {
  const auto rgb = HeadlessGLReadRGB();
  WritePNG((dir + "/" + name + ".png").c_str(), kW, kH, rgb.data());
}

void Backdrop(const World& w, GLuint tex, float t) {
  glPushMatrix();
  glDisable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, tex);
  Draw(w.galaxy, 0, 0, 10, 0, (t - 7.14f) * 4, 1.57f);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
}

void LitModel(const Mesh& m, GLuint tex, float x, float y, float z, float rx, float ry, float rz, bool blend,
              float alpha) {
  glPushMatrix();
  if (blend) glEnable(GL_BLEND); else glDisable(GL_BLEND);
  glColor4f(1, 1, 1, alpha);  // the lit set-up saturates to the texture
  glScalef(0.5f, 0.5f, 0.5f);
  glEnable(GL_CULL_FACE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, tex);
  Draw(m, x, y, z, rx, ry, rz);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glPopMatrix();
}

void HalfGalaxy(const World& w, float t) {
  glPushMatrix();
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glColor4f(1, 1, 1, 0.5f);
  glScalef(0.5f, 0.5f, 0.5f);
  glBindTexture(GL_TEXTURE_2D, w.tGalaxy);
  Draw(w.galaxy, 0, 0, 9, t - 7.14f, (t - 7.14f) * 2, 1.57f);
  glDisable(GL_BLEND);
  glDisable(GL_TEXTURE_2D);
  glPopMatrix();
  glColor4f(1, 1, 1, 1);
}

SPL_TPoint PathPoint(const SPL_PointType& path, int i) {
  i = std::clamp(i, 0, std::max(0, path.NumPoints - 1));
  return path.Point[i];
}

void Title(const World& w, const std::string& dir) {
  const auto a = [](double p) { return int(p / 88.2 - 1300); };
  // C at 20 s, both copies at 5 s.
  for (int ms : {5000, 20000}) {
    Frame();
    const float t = float(ms) * 0.001f;
    Backdrop(w, w.tNena1, t);
    LitModel(w.nena1, w.tNena1, 0, -10, -50, 0, (t - 7.14f) * 4, 1.57f, true, std::min(1.0f, t / 8));
    if (15 - 2 * t > 0) LitModel(w.nena1, w.tNena1, 15 - 2 * t, -10, -50, 0, (t - 7.14f) * 4, 1.57f, true, 0.5f);
    if (2 * t - 15 < 0) LitModel(w.nena1, w.tNena1, 2 * t - 15, -10, -50, 0, (t - 7.14f) * 4, 1.57f, true, 0.5f);
    Save(dir, "title_C_" + std::to_string(ms));
  }
  for (double p : {3000000.0, 3400000.0, 3800000.0}) {
    Frame();
    const int am = a(p);
    const float t = float(am) * 0.001f;
    Backdrop(w, w.tGalaxy, t);
    HalfGalaxy(w, t);
    const SPL_TPoint q = PathPoint(w.titlePath, (am - 29700) / 13);
    LitModel(w.nena2, w.tNena1, q.x, q.y - 10, q.z - 50, 0, 0, 1.57f, false, 1);
    Save(dir, "title_D_" + std::to_string(int(p)));
  }
  for (double p : {4100000.0, 4500000.0}) {
    Frame();
    const int am = a(p);
    const float t = float(am) * 0.001f;
    Backdrop(w, w.tGalaxy, t);
    HalfGalaxy(w, t);
    const SPL_TPoint q = PathPoint(w.titlePath, (am - 42000) / 11);
    LitModel(w.tio1, w.tTio1, -q.x - 6, q.y - 10, q.z - 50, 0, 0, 1.57f, false, 1);
    Save(dir, "title_E_" + std::to_string(int(p)));
  }
  for (double p : {4900000.0, 4980000.0, 5060000.0}) {
    Frame();
    const int am = a(p);
    const float t = float(am) * 0.001f;
    Backdrop(w, w.tGalaxy, t);
    HalfGalaxy(w, t);
    const float z = float((am - 54800) / 40) - 50;
    LitModel(w.tio1, w.tTio1, -36.9f, -16.5f, z, 0, 0, 1.57f, false, 1);
    LitModel(w.nena2, w.tNena1, 36.9f, -11.5f, z, 0, 0, 1.57f, false, 1);
    Save(dir, "title_F_" + std::to_string(int(p)));
  }
  for (double p : {5150000.0, 5340000.0}) {
    Frame();
    const int am = a(p);
    const float t = float(am) * 0.001f, u = float(am - 57400) * 0.001f;
    Backdrop(w, w.tGalaxy, t);
    HalfGalaxy(w, t);
    LitModel(w.caraTio, w.tCaraTio, 6.5f - u, 0, -11, 0, -90, 0, false, 1);
    LitModel(w.caraTia, w.tCaraTia, u - 6.5f, -0.5f, -11, 0, 90, 0, false, 1);
    Save(dir, "title_G_" + std::to_string(int(p)));
  }
}

void Hand(const World& w, const std::string& dir) {
  const float ys[4] = {-10, -2, 2, -10}, zs[3] = {50, 150, 250};
  for (int pose = 0; pose < 4; ++pose) {
    Frame();
    const float t = 150.0f + 40.0f * float(pose);
    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, w.tTio1);
    if (pose < 3) Draw(w.mano, 0, ys[pose], -70, 0, (t - 10) * 4, zs[pose]);
    else Draw(w.mano, 0, ys[pose], -70, 4 * t, 4 * t, 4 * t);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    Backdrop(w, w.tGalaxy, t);
    Save(dir, "hand_pose" + std::to_string(pose));
  }
}

void Castle(const World& w, const std::string& dir) {
  for (int t : {600, 2500, 4800, 7600, 9700, 12500, 15500, 19000, 22300}) {
    Frame();
    const bool fog = t < 6365 || t >= 12199;
    const float s = float(t) * 0.01f;
    const SPL_TPoint p = PathPoint(w.castlePath, t / 13);
    if (fog) {
      const float fogColour[4] = {0.2f, 0.2f, 0.2f, 0.4f};
      glEnable(GL_FOG);
      glFogf(GL_FOG_DENSITY, 0.21f);
      glFogfv(GL_FOG_COLOR, fogColour);
    }
    glPushMatrix();
    gluLookAt(p.x, p.y, p.z, 1, 0, std::cos(s / 8), 0, 1, std::cos(s / 12));
    glEnable(GL_TEXTURE_2D);
    glPushMatrix();
    glScalef(0.2f, 0.2f, 0.2f);
    glBindTexture(GL_TEXTURE_2D, w.tCloud);
    glColor4f(1, 1, 0.8f, 1);
    Draw(w.galaxy, 0, 0, 6, 0, s, 0);
    glPopMatrix();
    glPushMatrix();
    glEnable(GL_BLEND);
    glScalef(0.1f, 0.1f, 0.1f);
    glColor4f(1, 1, 1, 0.5f);
    Draw(w.galaxy, 0, 0, 11, 0, 1.8f * s, 0);
    glDisable(GL_BLEND);
    glPopMatrix();
    const std::pair<const Mesh*, GLuint> parts[3] = {{&w.castle1, w.tStone}, {&w.castle3, w.tBrick}, {&w.castle2, w.tGround}};
    for (const auto& part : parts) {
      glPushMatrix();
      glScalef(0.1f, 0.1f, 0.1f);
      glBindTexture(GL_TEXTURE_2D, part.second);
      Draw(*part.first, 0, 0, 0, 0, 0, 0);
      glPopMatrix();
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    glDisable(GL_FOG);
    Save(dir, "castle_" + std::to_string(t) + (fog ? "_fog" : ""));
  }
}

void Flight(const World& w, const std::string& dir) {
  for (int t : {600, 3000, 5800}) {
    Frame();
    const float s = float(t) * 0.01f;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, w.tFly);
    glPushMatrix();
    glScalef(0.1f, 0.1f, 0.1f);
    Draw(w.fly, 0, -10, -40, 0, s, 0);
    glPopMatrix();
    glPushMatrix();
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glScalef(0.1f, 0.1f, 0.1f);
    glColor4f(1, 1, 1, 0.4f);
    Draw(w.fly, 0, s / 4 - 5, -40, 0, s, 0);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glPopMatrix();
    Save(dir, "flight_A_" + std::to_string(t));
  }
  for (int t : {6500, 8000, 9500, 11000}) {
    Frame();
    const float s = float(t) * 0.01f;
    const SPL_TPoint p = PathPoint(w.flightPath, (t - 5600) / 11);
    glPushMatrix();
    gluLookAt(p.x, p.y, p.z, -0.5, 0, -1.5, 0, 1, 0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, w.tFly);
    glScalef(0.1f, 0.1f, 0.1f);
    Draw(w.fly, -6, 2, -10, 0, s, 0);
    glPopMatrix();
    Save(dir, "flight_B_" + std::to_string(t));
  }
}

void Credits(const World& w, const std::string& dir) {
  for (int t : {800, 4000, 6000, 9000, 14000, 18000, 24000}) {
    Frame();
    const float s = float(t) * 0.1f;
    const SPL_TPoint p = PathPoint(w.creditsPath, t / 13);
    glPushMatrix();
    gluLookAt(p.x, p.y, p.z, 0, 0, 0, 0, 1, 0);
    glEnable(GL_TEXTURE_2D);
    struct Copy {
      const Mesh* m;
      GLuint tex;
      float sx, sy, sz, y, ry, alpha;
    };
    const Copy copies[5] = {{&w.greet, w.tCredit, 0.15f, 0.4f, 0.1f, 0, -s, 1},
                            {&w.greet, w.tNena1, 1.9f, 1.8f, 0.8f, 0, -s, 1},
                            {&w.greet, w.tNena1, 1.6f, 1.6f, 0.7f, 0, 1.6f * s, 0.5f},
                            {&w.bolah, w.tCode, 1, 1, 1, -0.8f, -1.6f * s, 0.5f},
                            {&w.bolah, w.tVisual, 1, 1, 1, 0.8f, -1.6f * s, 0.5f}};
    for (const Copy& c : copies) {
      glPushMatrix();
      if (c.alpha < 1) glEnable(GL_BLEND);
      glColor4f(1, 1, 1, c.alpha);
      glScalef(c.sx, c.sy, c.sz);
      glBindTexture(GL_TEXTURE_2D, c.tex);
      Draw(*c.m, 0, c.y, 0, 0, c.ry, 0);
      glDisable(GL_BLEND);
      glPopMatrix();
    }
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
    Save(dir, "credits_" + std::to_string(t));
  }
}

void SetPath(SPL_PointType& pts, std::initializer_list<SPL_TPoint> list) {
  pts.NumPoints = 0;
  for (const SPL_TPoint& p : list) pts.Point[pts.NumPoints++] = p;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: datagen-preview OUT_DIR\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];
  if (!HeadlessGLCreate(kW, kH)) return 1;
  ReSizeGLScene(kW, kH);
  InitGL();
  static World w;
  const Image images[13] = {PaintNena1(), PaintGalaxy(), PaintTio1(), PaintCaraTio1(), PaintCaraTia1(),
                            PaintFly(), PaintPiedrah(), PaintGround1(), PaintCloud1(), PaintBrick1(),
                            PaintCredit1(), PaintCode(), PaintVisual()};
  const char* names[13] = {"Nena1", "Galaxy", "Tio1", "caratio1", "caratia1", "Fly", "piedrah",
                           "Ground1", "cloud1", "brick1", "Credit1", "code", "visual"};
  GLuint* ids[13] = {&w.tNena1, &w.tGalaxy, &w.tTio1, &w.tCaraTio, &w.tCaraTia, &w.tFly, &w.tStone,
                     &w.tGround, &w.tCloud, &w.tBrick, &w.tCredit, &w.tCode, &w.tVisual};
  for (int k = 0; k < 13; ++k) {
    *ids[k] = Upload(images[k]);
    SavePNG(images[k], dir + "/tex_" + names[k] + ".png");
  }
  SetPath(w.title, {{0, 0, 0}, {-6, 0, -10}, {10, 4, 5}, {20, 1, -10}, {2, 0, -10}, {-10, -5, 3}, {-1, 0, -10}, {170, 20, 0}});
  SPL_Generate(&w.title, &w.titlePath, 212);
  SetPath(w.castle, {{-5, 0, 0}, {3, 1.3f, -1}, {-5, 1, -1}, {6, 0, 0}, {3, 0, 1}, {-2, 2, -1}, {-3, 4, -1},
                     {-1, 0, -1}, {1, 1, -1}, {-1, 1.2f, -2}, {4, 1, -3}, {1, 1.8f, -1}});
  SPL_Generate(&w.castle, &w.castlePath, 260);
  SetPath(w.flight, {{0, 0, 0}, {1, 3, 5}, {5, 1, -1}, {-1, -5, 2}, {5, 1, -3}, {-2, -2, 3}, {-2, 4, 1}, {2, 3, 1},
                     {-1, 0, 1}, {1, 1, -3}});
  SPL_Generate(&w.flight, &w.flightPath, 83);
  SetPath(w.credits, {{-1, 3, 0.5f}, {0, 3, 0.5f}, {0, 2, 0.5f}, {0, 1, 0.5f}, {2, -10, 0.5f}, {-2, -1.5f, 0.3f},
                      {2, -1.2f, 0.2f}, {2, -1, 0.7f}, {2, 0, 0.35f}, {2, 0, 0.35f}, {0, 3, 0.5f}});
  SPL_Generate(&w.credits, &w.creditsPath, 240);
  Title(w, dir);
  Hand(w, dir);
  Castle(w, dir);
  Flight(w, dir);
  Credits(w, dir);
  return 0;
}
