#!/usr/bin/python3
"""Prepares a learned cut-out model for OpenCV's DNN module.

  model-tool.py assemble RESOURCES.json DIST_DIR ENTRY OUT
      Rebuilds the file ENTRY (for example /models/medium) of a resources
      file that lists it as chunks by sha256 and byte offset, checking every
      chunk's hash and place and the total size. Needs nothing but Python.

  model-tool.py convert IN.onnx OUT.onnx [--keep NAME]... [--input-size N]
      fp16 initialisers and constants become fp32, casts between the two
      float types go, only the kept outputs (default "output") and the nodes
      they need stay, and the nodes are written in topological order: what
      OpenCV 4.6 needs to load the graph. --input-size N sets the square
      input to N x N and scales the constant target sizes of Resize nodes to
      match (N must keep every pooling level exact). Needs python3-onnx.

Exit status 0 on success; otherwise one line on standard error says why and
no output file is left behind.
"""

import hashlib
import json
import os
import sys
import tempfile


class ToolError(Exception):
    pass


def write_atomically(path, write):
    folder = os.path.dirname(os.path.abspath(path))
    os.makedirs(folder, exist_ok=True)
    handle, temp = tempfile.mkstemp(prefix=".partial-", dir=folder)
    try:
        with os.fdopen(handle, "wb") as out:
            write(out)
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temp, 0o666 & ~umask)
        os.replace(temp, path)
    except BaseException:
        if os.path.exists(temp):
            os.unlink(temp)
        raise


def assemble(resources_path, dist_dir, entry_name, out_path):
    try:
        with open(resources_path, "r", encoding="utf-8") as f:
            resources = json.load(f)
    except (OSError, ValueError) as e:
        raise ToolError(f"cannot read the resources file {resources_path}: {e}")
    entry = resources.get(entry_name) if isinstance(resources, dict) else None
    if not isinstance(entry, dict):
        raise ToolError(f"the resources file lists no {entry_name}")
    chunks, size = entry.get("chunks"), entry.get("size")
    if not isinstance(chunks, list) or not chunks or not isinstance(size, int):
        raise ToolError(f"{entry_name} has no chunk list or size")

    def write(out):
        position = 0
        for index, chunk in enumerate(chunks):
            digest = chunk.get("hash") if isinstance(chunk, dict) else None
            offsets = chunk.get("offsets") if isinstance(chunk, dict) else None
            if (not isinstance(digest, str) or len(digest) != 64
                    or any(c not in "0123456789abcdef" for c in digest)
                    or not isinstance(offsets, list) or len(offsets) != 2):
                raise ToolError(f"chunk {index} of {entry_name} is described wrongly")
            begin, end = offsets
            if begin != position or end <= begin:
                raise ToolError(f"chunk {index} of {entry_name} starts at {begin}, expected {position}")
            try:
                with open(os.path.join(dist_dir, digest), "rb") as f:
                    data = f.read()
            except OSError as e:
                raise ToolError(f"chunk {index} ({digest}) is missing: {e.strerror}")
            if len(data) != end - begin:
                raise ToolError(f"chunk {index} ({digest}) has {len(data)} bytes, expected {end - begin}")
            if hashlib.sha256(data).hexdigest() != digest:
                raise ToolError(f"chunk {index} ({digest}) does not match its sha256")
            out.write(data)
            position = end
        if position != size:
            raise ToolError(f"the chunks of {entry_name} add up to {position} bytes, expected {size}")

    write_atomically(out_path, write)


def convert(in_path, out_path, keep, input_size):
    try:
        import numpy
        import onnx
        from onnx import helper, numpy_helper
    except ImportError as e:
        raise ToolError(f"python3-onnx is needed to convert a model ({e})")
    FLOAT, FLOAT16, INT64 = onnx.TensorProto.FLOAT, onnx.TensorProto.FLOAT16, onnx.TensorProto.INT64

    try:
        model = onnx.load(in_path)
    except Exception as e:  # onnx raises several types for a damaged file
        raise ToolError(f"cannot read the model {in_path}: {e}")
    graph = model.graph

    def to_fp32(tensor):
        if tensor.data_type != FLOAT16:
            return tensor
        array = numpy_helper.to_array(tensor).astype(numpy.float32)
        return numpy_helper.from_array(array, tensor.name)

    initialisers = [to_fp32(t) for t in graph.initializer]
    for node in graph.node:
        for attribute in node.attribute:
            if attribute.type == onnx.AttributeProto.TENSOR and attribute.t.data_type == FLOAT16:
                attribute.t.CopyFrom(to_fp32(attribute.t))
            if node.op_type == "Cast" and attribute.name == "to" and attribute.i == FLOAT16:
                attribute.i = FLOAT

    # Element types of every value, to know which casts only switch between
    # the two float types (and so do nothing once everything is fp32).
    types = {}
    for value in list(graph.input) + list(graph.output) + list(graph.value_info):
        types[value.name] = value.type.tensor_type.elem_type
    for tensor in graph.initializer:
        types[tensor.name] = tensor.data_type
    for node in graph.node:
        if node.op_type == "Constant":
            for attribute in node.attribute:
                if attribute.type == onnx.AttributeProto.TENSOR:
                    types[node.output[0]] = attribute.t.data_type
    float_types = (FLOAT, FLOAT16)
    rename = {}
    nodes = []
    for node in graph.node:
        if node.op_type == "Cast" and types.get(node.input[0]) in float_types:
            rename[node.output[0]] = node.input[0]
            continue
        if node.op_type == "Cast":
            types[node.output[0]] = next(a.i for a in node.attribute if a.name == "to")
        nodes.append(node)

    def resolve(name):
        while name in rename:
            name = rename[name]
        return name

    for node in nodes:
        for i, name in enumerate(node.input):
            node.input[i] = resolve(name)
    outputs = {o.name: o for o in graph.output}
    missing = [name for name in keep if name not in outputs]
    if missing:
        raise ToolError(f"the model has no output {', '.join(missing)} (it has {', '.join(outputs)})")
    # A kept output made by a removed cast: its producer takes the output's name.
    for name in keep:
        source = resolve(name)
        if source != name:
            for node in nodes:
                node.output[:] = [name if o == source else o for o in node.output]
                node.input[:] = [name if i == source else i for i in node.input]

    producer = {}
    for node in nodes:
        for output in node.output:
            producer[output] = node
    needed, stack = set(), list(keep)
    while stack:
        name = stack.pop()
        node = producer.get(name)
        if node is None or id(node) in needed:
            continue
        needed.add(id(node))
        stack.extend(i for i in node.input if i)
    nodes = [n for n in nodes if id(n) in needed]

    # Topological order, keeping the original order among ready nodes.
    available = {i.name for i in graph.input} | {t.name for t in initialisers}
    ordered, pending = [], list(nodes)
    while pending:
        ready = [n for n in pending if all(not i or i in available for i in n.input)]
        if not ready:
            raise ToolError("the graph has a cycle or an input that nothing produces")
        ready_ids = {id(n) for n in ready}
        for node in ready:
            ordered.append(node)
            available.update(node.output)
        pending = [n for n in pending if id(n) not in ready_ids]

    used = {i for n in ordered for i in n.input}
    initialisers = [t for t in initialisers if t.name in used]
    initialiser_names = {t.name for t in initialisers}
    inputs = [i for i in graph.input if i.name not in initialiser_names]
    for value in inputs:
        if value.type.tensor_type.elem_type == FLOAT16:
            value.type.tensor_type.elem_type = FLOAT
    kept_outputs = [outputs[name] for name in keep]
    for value in kept_outputs:
        if value.type.tensor_type.elem_type == FLOAT16:
            value.type.tensor_type.elem_type = FLOAT

    if input_size:
        scale_input(inputs, ordered, producer, input_size, numpy, numpy_helper, INT64)

    new_graph = helper.make_graph(ordered, graph.name, inputs, kept_outputs, initialisers)
    new_model = helper.make_model(new_graph, opset_imports=list(model.opset_import),
                                  producer_name="cutora-model-tool")
    new_model.ir_version = model.ir_version
    try:
        onnx.checker.check_model(new_model)
    except Exception as e:
        raise ToolError(f"the converted model does not check: {e}")
    data = new_model.SerializeToString()
    write_atomically(out_path, lambda out: out.write(data))


def scale_input(inputs, nodes, producer, size, numpy, numpy_helper, INT64):
    if len(inputs) != 1 or len(inputs[0].type.tensor_type.shape.dim) != 4:
        raise ToolError("--input-size needs one four-dimensional input")
    dims = inputs[0].type.tensor_type.shape.dim
    old_h, old_w = dims[2].dim_value, dims[3].dim_value
    if old_h <= 0 or old_h != old_w:
        raise ToolError("--input-size needs a square input of fixed size")
    dims[2].dim_value = size
    dims[3].dim_value = size

    def scaled(array):
        values = array.astype(numpy.int64) * size
        if numpy.any(values % old_h):
            raise ToolError(f"an input of {size} does not divide evenly through the network; try a multiple of 64")
        return values // old_h

    for node in nodes:
        if node.op_type != "Resize" or len(node.input) < 4 or not node.input[3]:
            continue
        sizes = producer.get(node.input[3])
        parts = []
        if sizes is not None and sizes.op_type == "Concat":
            parts = [producer.get(i) for i in sizes.input]
        elif sizes is not None:
            parts = [sizes]
        for part in parts:
            if part is None or part.op_type != "Constant":
                continue
            tensor = part.attribute[0].t
            if tensor.data_type == INT64:
                part.attribute[0].t.CopyFrom(numpy_helper.from_array(scaled(numpy_helper.to_array(tensor)), tensor.name))


def main(argv):
    try:
        if len(argv) == 5 and argv[0] == "assemble":
            assemble(*argv[1:])
            return 0
        if len(argv) >= 3 and argv[0] == "convert":
            keep, size, rest = [], 0, argv[3:]
            while rest:
                if rest[0] == "--keep" and len(rest) > 1:
                    keep.append(rest[1])
                elif rest[0] == "--input-size" and len(rest) > 1 and rest[1].isdigit():
                    size = int(rest[1])
                else:
                    raise ToolError(f"unknown option {rest[0]}")
                rest = rest[2:]
            convert(argv[1], argv[2], keep or ["output"], size)
            return 0
    except ToolError as e:
        print(f"model-tool: {e}", file=sys.stderr)
        return 1
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
