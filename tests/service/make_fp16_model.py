#!/usr/bin/python3
"""Writes a tiny model twice into the folder given: reference.onnx in fp32,
and half.onnx as fp16 models are shipped: fp16 weights, casts at the input,
around the resize and at the output, a side output, and nodes out of order.
The fp16 weights are the reference's, so both compute the same function."""

import sys

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

folder = sys.argv[1]
rng = np.random.default_rng(7)
# Values that fp16 holds exactly, so the two models share their weights.
w1 = rng.normal(0, 0.5, (4, 3, 3, 3)).astype(np.float16)
b1 = rng.normal(0, 0.1, (4,)).astype(np.float16)
w2 = rng.normal(0, 0.5, (1, 4, 1, 1)).astype(np.float16)
b2 = rng.normal(0, 0.1, (1,)).astype(np.float16)


def constant(name, values):
    return helper.make_node("Constant", [], [name], value=numpy_helper.from_array(np.array(values, dtype=np.int64), name))


def resize(x, y):
    return helper.make_node("Resize", [x, "", "", "sizes"], [y], mode="linear",
                            coordinate_transformation_mode="half_pixel", nearest_mode="floor", cubic_coeff_a=-0.75)


def body(x, half):
    """Conv 3x3 -> Relu -> MaxPool -> Resize back (sizes from the shape, as
    exported upsampling does) -> Conv 1x1 -> Sigmoid."""
    nodes = [
        helper.make_node("Conv", [x, "w1", "b1"], ["c1"], kernel_shape=[3, 3], pads=[1, 1, 1, 1]),
        helper.make_node("Relu", ["c1"], ["r1"]),
        helper.make_node("MaxPool", ["r1"], ["p1"], kernel_shape=[2, 2], strides=[2, 2]),
        helper.make_node("Shape", ["p1"], ["shape"]),
        constant("starts", [0]), constant("ends", [2]), constant("axes", [0]),
        helper.make_node("Slice", ["shape", "starts", "ends", "axes"], ["batch_channels"]),
        constant("spatial", [16, 16]),
        helper.make_node("Concat", ["batch_channels", "spatial"], ["sizes"], axis=0),
    ]
    if half:
        nodes += [helper.make_node("Cast", ["p1"], ["p1_float"], to=TensorProto.FLOAT),
                  resize("p1_float", "up_float"),
                  helper.make_node("Cast", ["up_float"], ["up"], to=TensorProto.FLOAT16)]
    else:
        nodes.append(resize("p1", "up"))
    nodes += [helper.make_node("Conv", ["up", "w2", "b2"], ["c2"], kernel_shape=[1, 1]),
              helper.make_node("Sigmoid", ["c2"], ["s2"])]
    return nodes


def weights(dtype):
    return [numpy_helper.from_array(a.astype(dtype), n) for a, n in ((w1, "w1"), (b1, "b1"), (w2, "w2"), (b2, "b2"))]


def model(nodes, initialisers, outputs):
    graph = helper.make_graph(nodes, "tiny",
                              [helper.make_tensor_value_info("input", TensorProto.FLOAT, [1, 3, 16, 16])],
                              outputs, initialisers)
    m = helper.make_model(graph, opset_imports=[helper.make_opsetid("", 15)])
    m.ir_version = 7
    return m


output = helper.make_tensor_value_info("output", TensorProto.FLOAT, [1, 1, 16, 16])
reference = body("input", False)
reference[-1].output[0] = "output"
onnx.save(model(reference, weights(np.float32), [output]), f"{folder}/reference.onnx")

half = [helper.make_node("Cast", ["input"], ["input_half"], to=TensorProto.FLOAT16)] + body("input_half", True)
half.append(helper.make_node("Cast", ["s2"], ["output"], to=TensorProto.FLOAT))
side = helper.make_tensor_value_info("r1", TensorProto.FLOAT16, [1, 4, 16, 16])
half.reverse()  # out of topological order, as shipped
onnx.save(model(half, weights(np.float16), [output, side]), f"{folder}/half.onnx")
