#version 330 core
// One ColorVertex per vertex.
layout(location = 0) in vec2 position;
layout(location = 4) in vec4 color;
uniform vec2 viewport;
out vec4 vColor;

void main()
{
    gl_Position = vec4(position / viewport * 2.0 - 1.0, 0.0, 1.0);
    vColor = color;
}
