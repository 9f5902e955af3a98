#include "GPXModel.h"

namespace {

template <typename T>
void DeleteAll(std::vector<T*>& items)
{
    for (T* item : items)
        delete item;
    items.clear();
}

}  // namespace

GPXEmail::GPXEmail() = default;
GPXEmail::~GPXEmail() = default;

GPXLink::GPXLink() = default;
GPXLink::~GPXLink() = default;

GPXPerson::GPXPerson() = default;
GPXPerson::~GPXPerson()
{
    delete email;
    delete link;
}

GPXCopyright::GPXCopyright() = default;
GPXCopyright::~GPXCopyright()
{
    delete year;
}

GPXBounds::GPXBounds() = default;
GPXBounds::~GPXBounds() = default;

GPXMetadata::GPXMetadata() = default;
GPXMetadata::~GPXMetadata()
{
    delete author;
    delete copyright;
    DeleteAll(link);
    delete time;
    delete bounds;
    delete extensions;
}

GPXWayPoint::GPXWayPoint() = default;
GPXWayPoint::~GPXWayPoint()
{
    delete ele;
    delete time;
    delete magvar;
    delete geoidheight;
    DeleteAll(link);
    delete sat;
    delete hdop;
    delete vdop;
    delete pdop;
    delete ageofdgpsdata;
    delete dgpsid;
    delete extensions;
    delete timeFraction;
}

GPXRoutePoint::GPXRoutePoint() = default;
GPXRoutePoint::~GPXRoutePoint()
{
    delete garminExtension;
}

GPXTrackPoint::GPXTrackPoint() = default;
GPXTrackPoint::~GPXTrackPoint()
{
    delete garminExtension;
    delete garminTrackPointExtension;
}

GPXRouteTrackBase::GPXRouteTrackBase() = default;
GPXRouteTrackBase::~GPXRouteTrackBase()
{
    DeleteAll(link);
    delete number;
}

GPXRoute::GPXRoute() = default;
GPXRoute::~GPXRoute()
{
    DeleteAll(rtept);
    delete extensions;
}

GPXTrackSegment::GPXTrackSegment() = default;
GPXTrackSegment::~GPXTrackSegment()
{
    DeleteAll(trkpt);
    delete extensions;
}

GPXTrack::GPXTrack() = default;
GPXTrack::~GPXTrack()
{
    DeleteAll(trkseg);
    delete extensions;
}

GPXRoot::GPXRoot() = default;
GPXRoot::~GPXRoot()
{
    delete metadata;
    DeleteAll(wpt);
    DeleteAll(rte);
    DeleteAll(trk);
    delete extensions;
}

GPXExtensions::GPXExtensions() = default;
GPXExtensions::~GPXExtensions()
{
    delete[] data;
}

GPXGARAddress::GPXGARAddress() = default;
GPXGARAddress::~GPXGARAddress()
{
    delete Extensions;
}

GPXGARPhoneNumber::GPXGARPhoneNumber() = default;
GPXGARPhoneNumber::~GPXGARPhoneNumber() = default;

GPXGARAutoRoutePoint::GPXGARAutoRoutePoint() = default;
GPXGARAutoRoutePoint::~GPXGARAutoRoutePoint() = default;

GPXGARWaypointExtension::GPXGARWaypointExtension() = default;
GPXGARWaypointExtension::~GPXGARWaypointExtension()
{
    delete Proximity;
    delete Temperature;
    delete Depth;
    delete Address;
    DeleteAll(PhoneNumber);
    delete Extensions;
}

GPXGARRouteExtension::GPXGARRouteExtension() = default;
GPXGARRouteExtension::~GPXGARRouteExtension()
{
    delete Extensions;
}

GPXGARRoutePointExtension::GPXGARRoutePointExtension() = default;
GPXGARRoutePointExtension::~GPXGARRoutePointExtension()
{
    DeleteAll(rpt);
    delete Extensions;
}

GPXGARTrackExtension::GPXGARTrackExtension() = default;
GPXGARTrackExtension::~GPXGARTrackExtension()
{
    delete Extensions;
}

GPXGARTrackPointExtension::GPXGARTrackPointExtension() = default;
GPXGARTrackPointExtension::~GPXGARTrackPointExtension()
{
    delete Temperature;
    delete Depth;
    delete Extensions;
}

GPXGARTrackPointExtensionV2::GPXGARTrackPointExtensionV2() = default;
GPXGARTrackPointExtensionV2::~GPXGARTrackPointExtensionV2()
{
    delete atemp;
    delete wtemp;
    delete depth;
    delete hr;
    delete cad;
    delete speed;
    delete course;
    delete bearing;
    delete Extensions;
}
