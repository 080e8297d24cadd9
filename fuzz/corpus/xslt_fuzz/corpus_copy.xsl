<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
<xsl:template match="@*|node()"><xsl:copy><xsl:apply-templates select="@*|node()"/></xsl:copy></xsl:template>
<xsl:template match="book[2]"><xsl:copy-of select="."/></xsl:template>
<xsl:template match="price"/>
</xsl:stylesheet>
