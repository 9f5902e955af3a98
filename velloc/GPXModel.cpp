#include "GPXModel.h"

#include "GPXRecordPool.h"

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
}

GPXBounds::GPXBounds() = default;
GPXBounds::~GPXBounds() = default;

GPXMetadata::GPXMetadata() = default;
GPXMetadata::~GPXMetadata()
{
    delete author;
    delete copyright;
    DeleteAll(link);
    delete bounds;
    delete extensions;
}

void* GPXWayPoint::operator new(std::size_t size)
{
    return GPXRecordPool::Allocate(size);
}

void GPXWayPoint::operator delete(void* block, std::size_t size) noexcept
{
    GPXRecordPool::Free(block, size);
}

GPXWayPoint::GPXWayPoint() = default;
GPXWayPoint::~GPXWayPoint()
{
    DeleteAll(link);
    delete extensions;
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

void* GPXExtensions::operator new(std::size_t size)
{
    return GPXRecordPool::Allocate(size);
}

void GPXExtensions::operator delete(void* block, std::size_t size) noexcept
{
    GPXRecordPool::Free(block, size);
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
    delete Extensions;
}

GPXGARTrackPointExtensionV2::GPXGARTrackPointExtensionV2() = default;
GPXGARTrackPointExtensionV2::~GPXGARTrackPointExtensionV2()
{
    delete Extensions;
}
