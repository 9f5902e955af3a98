#include "GeoNames.h"

CGeoNameLocation::CGeoNameLocation()
{
    Clear();
}

CGeoNameLocation::~CGeoNameLocation()
{
    for (CGeoNameAlternateName* alternate : alternateNameList)
        delete alternate;
}

void CGeoNameLocation::Clear()
{
    toponymName.clear();
    name.clear();
    lat = 0;
    lng = 0;
    geonameId = -1;
    countryCode.clear();
    countryName.clear();
    fcl.clear();
    fcode.clear();
    fclName.clear();
    fcodeName.clear();
    population = 0;
    asciiName.clear();
    alternateNames.clear();
    elevation = 0;
    continentCode.clear();
    adminCode1 = CGeoNameAdminCode();
    adminCode2 = CGeoNameAdminCode();
    adminName1.clear();
    adminName2.clear();
    for (CGeoNameAlternateName* alternate : alternateNameList)
        delete alternate;
    alternateNameList.clear();
    timezone = CGeoNameTimeZone();
    distance = 0;
    bbox = CGeoNameBoundingBox();
}

CGeoNames::CGeoNames() = default;

CGeoNames::~CGeoNames()
{
    for (CGeoNameLocation* location : locations)
        delete location;
}
