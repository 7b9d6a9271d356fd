// Overlays page 1 of a stamp PDF on every page of a PDF with MuPDF, the way qpdf --overlay
// does: the stamp page becomes one form XObject, each page's content is wrapped in q/Q and
// followed by the form. A peer of `ventara watermark` in bench/watermark.sh.
// Usage: mutool run bench/mutool-overlay.js INPUT STAMP OUTPUT
var input = new PDFDocument(scriptArgs[0]);
var stamp = new PDFDocument(scriptArgs[1]);
var output = scriptArgs[2];

var stampPage = stamp.findPage(0);
var graft = input.newGraftMap();
var resources = graft.graftObject(stampPage.get("Resources"));
var contents = stampPage.get("Contents");
var data;
if (contents.isArray()) {
    data = new Buffer();
    for (var i = 0; i < contents.length; ++i)
        data.writeBuffer(contents.get(i).readStream());
} else {
    data = contents.readStream();
}
var form = input.addStream(data, {
    Type: "XObject",
    Subtype: "Form",
    BBox: graft.graftObject(stampPage.get("MediaBox")),
    Resources: resources,
});
var opening = input.addStream("q\n", {});
var closing = input.addStream("Q\nq /BenchStamp Do Q\n", {});

function missing(object) {
    return object === null || object === undefined || object.isNull();
}

var count = input.countPages();
for (var p = 0; p < count; ++p) {
    var page = input.findPage(p);
    var old = page.get("Contents");
    var list = input.newArray();
    list.push(opening);
    if (!missing(old) && old.isArray()) {
        for (var k = 0; k < old.length; ++k)
            list.push(old.get(k));
    } else if (!missing(old)) {
        list.push(old);
    }
    list.push(closing);
    page.put("Contents", list);
    var pageResources = page.get("Resources");
    if (missing(pageResources)) {
        pageResources = input.newDictionary();
        page.put("Resources", pageResources);
    }
    var objects = pageResources.get("XObject");
    if (missing(objects)) {
        objects = input.newDictionary();
        pageResources.put("XObject", objects);
    }
    objects.put("BenchStamp", form);
}
input.save(output, "");
