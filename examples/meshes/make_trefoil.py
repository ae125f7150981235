#!/usr/bin/env python3
"""Writes trefoil.obj, the demo's default mesh: a tube around a trefoil knot.

Run it from this folder: python3 make_trefoil.py > trefoil.obj

Every coordinate is a multiple of 1/256 written out exactly, so every float parser reads the same
bits on every platform.
"""

import math

SEGMENTS = 96  # along the knot
SIDES = 8  # around the tube
TUBE_RADIUS = 0.4


def knot(t):
    """The (2, 3) torus knot: twice around the z axis while winding three times through the hole.

    It starts at the top (y up, as OBJ exporters write models), so it stands on one lobe.
    """
    radius = 2.0 + math.cos(3 * t)
    return (-radius * math.sin(2 * t), radius * math.cos(2 * t), -math.sin(3 * t))


def normalize(v):
    length = math.sqrt(sum(c * c for c in v))
    return tuple(c / length for c in v)


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def exact(value):
    """value rounded to a multiple of 1/256, in decimal without rounding."""
    text = f"{round(value * 256) / 256:.8f}".rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def main():
    print("# Trefoil knot tube for the OrvelLib wireframe demo, written by make_trefoil.py.")
    print(f"# {SEGMENTS * SIDES} vertices, {SEGMENTS * SIDES} quads.")
    for i in range(SEGMENTS):
        t = 2 * math.pi * i / SEGMENTS
        centre = knot(t)
        ahead, behind = knot(t + 1e-4), knot(t - 1e-4)
        tangent = normalize(tuple(a - b for a, b in zip(ahead, behind)))
        # The tangent is never parallel to the z axis, so the two always span a plane.
        normal = normalize(cross(tangent, (0.0, 0.0, 1.0)))
        binormal = cross(tangent, normal)
        for j in range(SIDES):
            a = 2 * math.pi * j / SIDES
            point = [
                centre[k] + TUBE_RADIUS * (math.cos(a) * normal[k] + math.sin(a) * binormal[k])
                for k in range(3)
            ]
            print("v " + " ".join(exact(c) for c in point))
    for i in range(SEGMENTS):
        following = (i + 1) % SEGMENTS
        for j in range(SIDES):
            around = (j + 1) % SIDES
            quad = (i * SIDES + j, i * SIDES + around, following * SIDES + around,
                    following * SIDES + j)
            print("f " + " ".join(str(index + 1) for index in quad))


if __name__ == "__main__":
    main()
