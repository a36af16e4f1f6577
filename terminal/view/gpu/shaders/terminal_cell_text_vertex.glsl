#version 330 core
// One TextCell per instance, expanded to two triangles; the texture coordinate follows the corner.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 size;
layout(location = 2) in vec2 texOrigin;
layout(location = 3) in vec2 texSize;
layout(location = 4) in vec4 color;
uniform vec2 viewport;
out vec2 vTexCoord;
out vec4 vColor;

// Bottom-left, bottom-right, top-left, bottom-right, top-right, top-left (y up).
const vec2 corners[6] = vec2[6](vec2(0.0, 0.0), vec2(1.0, 0.0), vec2(0.0, 1.0),
                                vec2(1.0, 0.0), vec2(1.0, 1.0), vec2(0.0, 1.0));

void main()
{
    vec2 corner = corners[gl_VertexID % 6];
    vec2 p = position + size * corner;
    gl_Position = vec4(p / viewport * 2.0 - 1.0, 0.0, 1.0);
    vTexCoord = texOrigin + texSize * corner;
    vColor = color;
}
