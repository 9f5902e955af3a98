// Builds a one-point tree, checks the coordinate format of the geocoder and
// the parser's refusal before Initialize, through the installed headers.
#include <GPXFilesEncoder.h>
#include <GPXModel.h>
#include <ReverseGeoCode.h>

#include <cstdio>

int main()
{
    GPXRoot root;
    root.wpt.push_back(new GPXWayPoint());
    if (CReverseGeoCode::FormatCoordinate(45) != "45")
        return 1;
    CGeoNamesXmlParser parser(new char[1]{'x'}, 1);
    try {
        CGeoNames* names = nullptr;
        parser.ReadGeoNames(&names);
        return 1;
    } catch (const CUnInitializedException&) {
    }
    std::puts("consumer ran");
    return 0;
}
