#version 330 core
// One ColorCell per instance, expanded to two triangles.
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 size;
layout(location = 4) in vec4 color;
uniform vec2 viewport;
out vec4 vColor;

// Bottom-left, bottom-right, top-left, bottom-right, top-right, top-left (y up).
const vec2 corners[6] = vec2[6](vec2(0.0, 0.0), vec2(1.0, 0.0), vec2(0.0, 1.0),
                                vec2(1.0, 0.0), vec2(1.0, 1.0), vec2(0.0, 1.0));

void main()
{
    vec2 p = position + size * corners[gl_VertexID % 6];
    gl_Position = vec4(p / viewport * 2.0 - 1.0, 0.0, 1.0);
    vColor = color;
}
